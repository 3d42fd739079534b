#ifndef LYRABINDER_WAVPRESS_H
#define LYRABINDER_WAVPRESS_H
/* The encoder bridge: turns one WAV file into an MP3 file beside it through an encoder library
 * of the BladeEnc interface. A C ABI; callers load the library by name at run time and bind the
 * exports by name, so the function pointer types below are what they use. */

#include <stdint.h>

#if defined(_WIN32)
#define WAVPRESS_CALL __stdcall
#if defined(WAVPRESS_BUILD)
#define WAVPRESS_API __declspec(dllexport)
#else
#define WAVPRESS_API __declspec(dllimport)
#endif
#else
#define WAVPRESS_CALL
#if defined(WAVPRESS_BUILD)
#define WAVPRESS_API __attribute__((visibility("default")))
#else
#define WAVPRESS_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/** The library's file name, for loading it. */
#define WAVPRESS_LIBRARY_NAME "libwavpress.so"

/** Results of EncodeMp3. */
enum {
  WAVPRESS_OK = 0,      /**< the file was encoded */
  WAVPRESS_FAILED = -1, /**< any failure; the causes are not told apart */
  WAVPRESS_STOPPED = -2 /**< the progress callback asked to stop */
};

/** Encoder selections: only 1 selects the BladeEnc library, every other value the LAME one. */
enum { WAVPRESS_LAME = 0, WAVPRESS_BLADEENC = 1 };

/** Progress callback: the percentage done (0 to 100); returns nonzero to go on, 0 to stop. */
typedef int32_t(WAVPRESS_CALL* WavpressProgress)(int32_t percent);

/** Selects the encoder library for the following EncodeMp3 calls (1 at load time); returns 0. */
WAVPRESS_API int32_t WAVPRESS_CALL SetEncoder(int32_t encoder);

/** Encodes the sound file `path` (native path bytes; WAV or any other format libsndfile reads,
 * one or two channels, any rate) into `path` with the file name's extension replaced by ".mp3",
 * at 128 kbit/s, 44100 Hz, stereo. `progress` is the address of a variable that holds the
 * callback, called after every chunk with the share of frames done; the last chunk reports 100.
 * A null slot or callback means no reports. Returns WAVPRESS_OK, WAVPRESS_FAILED (no output file
 * is created when the input is not readable audio) or WAVPRESS_STOPPED; what was written so far
 * stays on disk after a failure or a stop. Calls may run at once on several threads, each on its
 * own file. */
WAVPRESS_API int32_t WAVPRESS_CALL EncodeMp3(const char* path, const WavpressProgress* progress);

typedef int32_t(WAVPRESS_CALL* SetEncoderFunction)(int32_t encoder);
typedef int32_t(WAVPRESS_CALL* EncodeMp3Function)(const char* path,
                                                  const WavpressProgress* progress);

#ifdef __cplusplus
}
#endif

#endif
