#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <string>

#include "media/audiooutput.h"
#include "platform/dynlib/dynlib.h"

namespace media {
namespace {

// The clock counts what the output has taken, which runs ahead of what is heard by up to a
// buffer or two: small buffers keep that short.
constexpr Uint16 kBufferFrames = 1024;  // about 23 ms at 44100 Hz

std::mutex& SdlMutex() {
  static std::mutex mutex;
  return mutex;
}

// SDL and the sound libraries it pulls in (some thirty) are loaded when the first output
// opens, not when a program that may never play starts.
struct SdlLibrary {
  decltype(&::SDL_InitSubSystem) InitSubSystem = nullptr;
  decltype(&::SDL_AudioInit) AudioInit = nullptr;
  decltype(&::SDL_AudioQuit) AudioQuit = nullptr;
  decltype(&::SDL_OpenAudioDevice) OpenAudioDevice = nullptr;
  decltype(&::SDL_CloseAudioDevice) CloseAudioDevice = nullptr;
  decltype(&::SDL_PauseAudioDevice) PauseAudioDevice = nullptr;
  decltype(&::SDL_LockAudioDevice) LockAudioDevice = nullptr;
  decltype(&::SDL_UnlockAudioDevice) UnlockAudioDevice = nullptr;

  /// The loaded library, or nullptr when it cannot be loaded.
  static const SdlLibrary* Get() {
    static const SdlLibrary* library = Load();
    return library;
  }

 private:
  template <typename F>
  static bool Resolve(platform::LibraryHandle handle, const char* name, F& function) {
    function = reinterpret_cast<F>(platform::FindSymbol(handle, name));
    return function != nullptr;
  }
  static const SdlLibrary* Load() {
    // The system's SDL, through the loader's own search; kept loaded for the process.
    std::string error;
    const platform::LibraryHandle handle = platform::LoadFromFolders({}, "libSDL2-2.0.so.0", error);
    if (!handle) return nullptr;
    static SdlLibrary library;
    const bool ok = Resolve(handle, "SDL_InitSubSystem", library.InitSubSystem) &&
                    Resolve(handle, "SDL_AudioInit", library.AudioInit) &&
                    Resolve(handle, "SDL_AudioQuit", library.AudioQuit) &&
                    Resolve(handle, "SDL_OpenAudioDevice", library.OpenAudioDevice) &&
                    Resolve(handle, "SDL_CloseAudioDevice", library.CloseAudioDevice) &&
                    Resolve(handle, "SDL_PauseAudioDevice", library.PauseAudioDevice) &&
                    Resolve(handle, "SDL_LockAudioDevice", library.LockAudioDevice) &&
                    Resolve(handle, "SDL_UnlockAudioDevice", library.UnlockAudioDevice);
    return ok ? &library : nullptr;
  }
};

// SDL's audio is process-wide: initialised once, on the first output, and switched to the
// dummy driver for good when the real one cannot open a device.
bool g_initialised = false;
bool g_dummy = false;

bool UseDummy(const SdlLibrary& sdl) {
  if (g_initialised) sdl.AudioQuit();
  g_initialised = sdl.AudioInit("dummy") == 0;
  g_dummy = true;
  return g_initialised;
}

// Starts SDL's audio with the real driver, else the dummy one; call under SdlMutex.
bool StartAudio(const SdlLibrary& sdl) {
  if (!g_initialised && !g_dummy) {
    g_initialised = sdl.InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (!g_initialised) return UseDummy(sdl);
  }
  return g_initialised;
}

class SdlOutput final : public AudioOutput {
 public:
  ~SdlOutput() override {
    if (m_device != 0) {
      std::lock_guard lock(SdlMutex());
      m_sdl->CloseAudioDevice(m_device);
    }
  }

  bool Open(long rate, int channels, PcmPull pull) override {
    if (m_device != 0 || rate <= 0 || channels <= 0) return false;
    m_sdl = SdlLibrary::Get();
    if (!m_sdl) return false;
    const SdlLibrary& sdl = *m_sdl;
    m_pull = std::move(pull);
    m_channels = channels;
    SDL_AudioSpec wanted{};
    wanted.freq = static_cast<int>(rate);
    wanted.format = AUDIO_S16SYS;
    wanted.channels = static_cast<Uint8>(channels);
    wanted.samples = kBufferFrames;
    wanted.callback = &SdlOutput::Callback;
    wanted.userdata = this;
    std::lock_guard lock(SdlMutex());
    if (!StartAudio(sdl)) return false;
    SDL_AudioSpec got{};
    // No changes allowed: SDL converts whatever the device wants.
    m_device = sdl.OpenAudioDevice(nullptr, 0, &wanted, &got, 0);
    if (m_device == 0 && !g_dummy && UseDummy(sdl)) {
      m_device = sdl.OpenAudioDevice(nullptr, 0, &wanted, &got, 0);
    }
    return m_device != 0;
  }

  void SetPaused(bool paused) override {
    if (m_device != 0) m_sdl->PauseAudioDevice(m_device, paused ? 1 : 0);
  }

  void Reset(const std::function<void()>& change) override {
    if (m_device != 0) m_sdl->LockAudioDevice(m_device);
    change();
    m_played = 0;
    if (m_device != 0) m_sdl->UnlockAudioDevice(m_device);
  }

  std::int64_t PlayedFrames() const override { return m_played.load(); }

 private:
  static void Callback(void* userdata, Uint8* stream, int length) {
    auto* self = static_cast<SdlOutput*>(userdata);
    auto* samples = reinterpret_cast<std::int16_t*>(stream);
    const std::size_t frameBytes =
        sizeof(std::int16_t) * static_cast<std::size_t>(self->m_channels);
    const std::size_t frames = static_cast<std::size_t>(length) / frameBytes;
    const std::size_t got = self->m_pull ? self->m_pull(samples, frames) : 0;
    // Past the end of the stream the device plays silence and the clock stands still.
    std::fill(stream + got * frameBytes, stream + length, Uint8{0});
    self->m_played += static_cast<std::int64_t>(got);
  }

  const SdlLibrary* m_sdl = nullptr;
  SDL_AudioDeviceID m_device = 0;
  PcmPull m_pull;
  int m_channels = 2;
  std::atomic<std::int64_t> m_played{0};
};

}  // namespace

void PrepareSdlOutput() {
  std::lock_guard lock(SdlMutex());
  if (const SdlLibrary* sdl = SdlLibrary::Get()) (void)StartAudio(*sdl);
}

std::unique_ptr<AudioOutput> CreateSdlOutput() {
  return std::make_unique<SdlOutput>();
}

}  // namespace media
