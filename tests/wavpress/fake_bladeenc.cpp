// A stand-in BladeEnc library: it encodes nothing, records the calls it gets, and writes one byte
// per call ('C' per chunk, 'F' for the flush), so that tests see what the bridge passed and what
// it wrote. Built once complete and once without beCloseStream.

#include <cstdio>
#include <string>

#include "wavpress/bladeenc.h"

#define FAKE_API extern "C" __attribute__((visibility("default")))

namespace {

using namespace wavpress;

struct Script {
  BeResult initResult = kBeOk;
  std::uint32_t failingChunk = 0;  // 1-based; 0 never
  BeResult deinitResult = kBeOk;
  std::uint32_t samplesPerChunk = 2304;
};

Script g_script;
std::string g_log;
std::string g_record;
std::uint32_t g_chunks = 0;

void Log(const std::string& call) {
  g_log += g_log.empty() ? call : ' ' + call;
}

}  // namespace

/// Sets what the following calls answer, and clears the log.
FAKE_API void FakeScript(BeResult initResult, std::uint32_t failingChunk, BeResult deinitResult,
                         std::uint32_t samplesPerChunk) {
  g_script = {initResult, failingChunk, deinitResult, samplesPerChunk};
  g_log.clear();
  g_record.clear();
  g_chunks = 0;
}

/// The calls, separated by spaces: "init", the sample count of each chunk, "deinit", "close".
FAKE_API const char* FakeLog() {
  return g_log.c_str();
}

/// The record the last beInitStream got: its 27 bytes in hex.
FAKE_API const char* FakeRecord() {
  return g_record.c_str();
}

FAKE_API BeResult beInitStream(const std::uint8_t* config, std::uint32_t* samplesPerChunk,
                               std::uint32_t* bufferSize, BeStream* stream) {
  Log("init");
  for (std::size_t i = 0; i < kMp3ConfigSize; ++i) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", config[i]);
    g_record += hex;
  }
  *samplesPerChunk = g_script.samplesPerChunk;
  *bufferSize = 16;
  *stream = 7;
  return g_script.initResult;
}

FAKE_API BeResult beEncodeChunk(BeStream, std::uint32_t samples, const std::int16_t*,
                                std::uint8_t* out, std::uint32_t* written) {
  Log(std::to_string(samples));
  if (++g_chunks == g_script.failingChunk) return kBeInvalidFormatParameters;
  out[0] = 'C';
  *written = 1;
  return kBeOk;
}

FAKE_API BeResult beDeinitStream(BeStream, std::uint8_t* out, std::uint32_t* written) {
  Log("deinit");
  out[0] = 'F';
  *written = 1;
  return g_script.deinitResult;
}

#ifndef FAKE_WITHOUT_CLOSE
FAKE_API BeResult beCloseStream(BeStream) {
  Log("close");
  return kBeOk;
}
#endif
