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
  WAVPRESS_FAILED = -1, /**< any failure; LastFailure tells why */
  WAVPRESS_STOPPED = -2 /**< the progress callback asked to stop */
};

/** Causes of the last failure, from LastFailure. */
enum {
  WAVPRESS_NO_FAILURE = 0,
  WAVPRESS_NO_ENCODER = 1,            /**< the selected encoder library is missing or incomplete */
  WAVPRESS_UNREADABLE = 2,            /**< the input cannot be opened, or is no regular file */
  WAVPRESS_UNSUPPORTED_FORMAT = 3,    /**< not a WAV file we can read, or no audio in it */
  WAVPRESS_RATE_OUT_OF_RANGE = 4,     /**< the sample rate lies outside 8000-192000 Hz */
  WAVPRESS_CHANNELS_OUT_OF_RANGE = 5, /**< more than two channels */
  WAVPRESS_OUTPUT_EXISTS = 6,         /**< the output exists and replacing was not allowed */
  WAVPRESS_CANNOT_WRITE = 7,          /**< the output cannot be created or written (disk full) */
  WAVPRESS_ENCODER_ERROR = 8          /**< the encoder library failed */
};

/** Encoder selections: only 1 selects the BladeEnc library, every other value the LAME one. */
enum { WAVPRESS_LAME = 0, WAVPRESS_BLADEENC = 1 };

/** Progress callback: the percentage done (0 to 100); returns nonzero to go on, 0 to stop. */
typedef int32_t(WAVPRESS_CALL* WavpressProgress)(int32_t percent);

/** Progress callback of EncodeMp3With: the caller's `context` as given, then the percentage done
 * (0 to 100); returns nonzero to go on, 0 to stop. */
typedef int32_t(WAVPRESS_CALL* WavpressContextProgress)(void* context, int32_t percent);

/** Flags of EncodeMp3With. */
enum { WAVPRESS_REPLACE_EXISTING = 1 /**< an existing output may be replaced */ };

/** Selects the encoder library for the following EncodeMp3 calls (1 at load time); returns 0. */
WAVPRESS_API int32_t WAVPRESS_CALL SetEncoder(int32_t encoder);

/** Allows (nonzero) or forbids (0, at load time) the following EncodeMp3 calls to replace an
 * existing output file; returns 0. Front ends allow it only once the user agreed. */
WAVPRESS_API int32_t WAVPRESS_CALL SetReplaceExisting(int32_t replace);

/** Encodes the sound file `path` (native path bytes; a regular WAV file of integer PCM, float,
 * A-law or u-law samples, at least one frame, one or two channels, 8000 to 192000 Hz) into `path`
 * with the file name's extension replaced by ".mp3", at 128 kbit/s, 44100 Hz, stereo. `progress` is
 * the address of a variable that holds the callback, called after every chunk with the share of
 * frames done; the last chunk reports 100. A null slot or callback means no reports. Returns
 * WAVPRESS_OK, WAVPRESS_FAILED or WAVPRESS_STOPPED. The output is written beside its place and
 * moved there when complete: a failure leaves nothing. An existing output (or a symlink in its
 * place) is replaced only as SetReplaceExisting allows, never when it is read-only, and never
 * written through. After a stop the part encoded so far never replaces a file: it takes the
 * output's place where that is free, else the first free "NAME (part).mp3" beside it, which
 * LastFailure's text then tells. Calls may run at once on several threads, each on its own file. */
WAVPRESS_API int32_t WAVPRESS_CALL EncodeMp3(const char* path, const WavpressProgress* progress);

/** EncodeMp3 into the file `output` (native path bytes) instead, for a front end whose run has
 * already given the usual output to another input. */
WAVPRESS_API int32_t WAVPRESS_CALL EncodeMp3As(const char* path, const char* output,
                                               const WavpressProgress* progress);

/** EncodeMp3 with all it needs in the call, for callers that encode on several threads or need
 * their own context in the callback: `output` is the file to write (null: the usual name beside
 * `path`), `encoder` selects the library as SetEncoder would, `flags` holds
 * WAVPRESS_REPLACE_EXISTING where replacing is allowed, and `progress` (may be null) gets
 * `context` with every report. SetEncoder and SetReplaceExisting neither affect it nor are
 * changed by it. */
WAVPRESS_API int32_t WAVPRESS_CALL EncodeMp3With(const char* path, const char* output,
                                                 int32_t encoder, int32_t flags,
                                                 WavpressContextProgress progress, void* context);

/** The cause of the last EncodeMp3 failure (WAVPRESS_NO_FAILURE after a success or a stop),
 * with a text naming the input first and then the cause (after a stop: where the part went, or
 * nothing where it took the output's place) copied into `text` (UTF-8, cut to `size` bytes with the
 * NUL); `text` may be null. */
WAVPRESS_API int32_t WAVPRESS_CALL LastFailure(char* text, int32_t size);

typedef int32_t(WAVPRESS_CALL* SetEncoderFunction)(int32_t encoder);
typedef int32_t(WAVPRESS_CALL* EncodeMp3Function)(const char* path,
                                                  const WavpressProgress* progress);
typedef int32_t(WAVPRESS_CALL* EncodeMp3AsFunction)(const char* path, const char* output,
                                                    const WavpressProgress* progress);
typedef int32_t(WAVPRESS_CALL* EncodeMp3WithFunction)(const char* path, const char* output,
                                                      int32_t encoder, int32_t flags,
                                                      WavpressContextProgress progress,
                                                      void* context);
typedef int32_t(WAVPRESS_CALL* SetReplaceExistingFunction)(int32_t replace);
typedef int32_t(WAVPRESS_CALL* LastFailureFunction)(char* text, int32_t size);

#ifdef __cplusplus
}
#endif

#endif
