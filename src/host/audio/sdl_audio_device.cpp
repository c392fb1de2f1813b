#include <SDL.h>

#include "host/audio/audio_device.h"

namespace host {
namespace {

class SdlAudioDevice final : public AudioDevice {
public:
    explicit SdlAudioDevice(std::uint32_t rate) : mixer_(rate) {}
    ~SdlAudioDevice() override {
        if (id_ != 0) SDL_CloseAudioDevice(id_);  // waits for a running callback
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    // Opens the device (paused), then starts it; the callback only ever sees a whole object.
    bool Open(std::string* error) {
        SDL_AudioSpec want{};
        want.freq = static_cast<int>(mixer_.output_rate());
        want.format = AUDIO_S16SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = &SdlAudioDevice::Callback;
        want.userdata = this;
        SDL_AudioSpec have{};
        // No changes allowed: SDL converts when the hardware wants another format.
        id_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (id_ == 0) {
            if (error) *error = SDL_GetError();
            return false;
        }
        SDL_PauseAudioDevice(id_, 0);
        return true;
    }

    Mixer& GetMixer() override { return mixer_; }
    std::uint32_t NowMilliseconds() override { return SDL_GetTicks(); }
    bool SetPeriodicTick(std::function<void()>) override { return false; }

private:
    static void Callback(void* self, Uint8* stream, int length) {
        auto* device = static_cast<SdlAudioDevice*>(self);
        device->mixer_.Mix(reinterpret_cast<std::int16_t*>(stream), static_cast<std::size_t>(length) / 4);
    }

    SDL_AudioDeviceID id_ = 0;
    Mixer mixer_;
};

}  // namespace

std::unique_ptr<AudioDevice> OpenSdlAudioDevice(std::uint32_t rate, std::string* error) {
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        if (error) *error = SDL_GetError();
        return nullptr;
    }
    // From here the device object owns one reference on SDL's audio subsystem.
    auto device = std::make_unique<SdlAudioDevice>(rate);
    if (!device->Open(error)) return nullptr;
    return device;
}

}  // namespace host
