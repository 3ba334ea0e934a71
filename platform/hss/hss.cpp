#include "platform/hss/hss.h"

#include "platform/host/host.h"
#include "platform/hss/module_player.h"

#include <cstring>
#include <new>

namespace {

constexpr size_t MIX_CHUNK = 512;
constexpr int MIN_RATE = 1000;
constexpr int MAX_RATE = 192000;
constexpr int SOUND_VOLUME_TOP = 32;
constexpr int MUSIC_VOLUME_TOP = 64;
constexpr int MUSIC_UNITY = 32;

hssSpeaker* speakers = nullptr; // every live speaker, linked through next_
hssSpeaker* active = nullptr;

void lockMixer() {
    if (host && host->lockAudio) host->lockAudio();
}

void unlockMixer() {
    if (host && host->unlockAudio) host->unlockAudio();
}

int clampInt(int value, int low, int high) {
    return value < low ? low : value > high ? high : value;
}

int16_t saturate(int32_t value) {
    if (value > 32767) return 32767;
    if (value < -32768) return -32768;
    return static_cast<int16_t>(value);
}

// --- RIFF WAVE reading -----------------------------------------------------

struct WaveClip {
    const uint8_t* frames = nullptr;
    size_t frameCount = 0;
    int channels = 0;
    int bits = 0;
    int rate = 0;
};

uint32_t le16(const uint8_t* p) {
    return p[0] | (p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool readWaveFormat(const uint8_t* body, size_t size, WaveClip* clip) {
    if (size < 16) return false;
    uint32_t tag = le16(body);
    if (tag == 0xFFFE) { // extensible: the sub-format names the real encoding
        if (size < 40) return false;
        tag = le16(body + 24);
    }
    if (tag != 1) return false; // integer PCM only
    uint32_t channels = le16(body + 2);
    uint32_t rate = le32(body + 4);
    uint32_t blockAlign = le16(body + 12);
    uint32_t bits = le16(body + 14);
    if (channels < 1 || channels > 2 || (bits != 8 && bits != 16)) return false;
    if (rate < static_cast<uint32_t>(MIN_RATE) || rate > static_cast<uint32_t>(MAX_RATE))
        return false;
    if (blockAlign != channels * bits / 8) return false;
    clip->channels = static_cast<int>(channels);
    clip->bits = static_cast<int>(bits);
    clip->rate = static_cast<int>(rate);
    return true;
}

// Walks the chunks of a RIFF WAVE file. A data chunk that claims more than the
// file holds is cut to what is there, in whole frames.
bool readWave(const uint8_t* file, size_t size, WaveClip* clip) {
    if (!file || size < 12) return false;
    if (std::memcmp(file, "RIFF", 4) != 0 || std::memcmp(file + 8, "WAVE", 4) != 0) return false;
    size_t end = size;
    uint32_t riffSize = le32(file + 4);
    if (riffSize <= size - 8) end = 8 + static_cast<size_t>(riffSize);
    if (end < 12) return false; // the form type lies outside the RIFF: no chunks in it
    bool haveFormat = false;
    const uint8_t* data = nullptr;
    size_t dataSize = 0;
    size_t offset = 12;
    while (end - offset >= 8) {
        const uint8_t* header = file + offset;
        size_t chunkSize = le32(header + 4);
        size_t available = end - offset - 8;
        const uint8_t* body = header + 8;
        if (std::memcmp(header, "fmt ", 4) == 0) {
            if (chunkSize > available || !readWaveFormat(body, chunkSize, clip)) return false;
            haveFormat = true;
        } else if (std::memcmp(header, "data", 4) == 0 && !data) {
            data = body;
            dataSize = chunkSize < available ? chunkSize : available;
        }
        if (chunkSize >= available) break;
        offset += 8 + chunkSize + (chunkSize & 1);
        if (offset > end) break;
    }
    if (!haveFormat || !data) return false;
    size_t frameBytes = static_cast<size_t>(clip->channels) * (clip->bits / 8);
    clip->frames = data;
    clip->frameCount = dataSize / frameBytes;
    return clip->frameCount > 0;
}

int16_t waveSample(const uint8_t* p, int bits) {
    if (bits == 8) return static_cast<int16_t>((p[0] - 128) * 256);
    return static_cast<int16_t>(static_cast<uint16_t>(le16(p)));
}

// Mono 16-bit samples of the clip; stereo frames are averaged.
int16_t* decodeWave(const WaveClip& clip) {
    int16_t* samples = new (std::nothrow) int16_t[clip.frameCount];
    if (!samples) return nullptr;
    int bytes = clip.bits / 8;
    const uint8_t* p = clip.frames;
    for (size_t i = 0; i < clip.frameCount; ++i) {
        int32_t sum = 0;
        for (int c = 0; c < clip.channels; ++c, p += bytes) sum += waveSample(p, clip.bits);
        samples[i] = static_cast<int16_t>(sum / clip.channels);
    }
    return samples;
}

} // namespace

// --- hssMusic --------------------------------------------------------------

hssMusic::~hssMusic() {
    unload();
}

int hssMusic::load(const void* data, size_t size, bool copy) {
    (void)copy; // the decoder always keeps a copy of its own
    ModulePlayer* fresh = createModulePlayer(data, size);
    if (!fresh) {
        unload();
        return 0;
    }
    setModuleLooping(fresh, loop_);
    lockMixer();
    ModulePlayer* old = player_;
    player_ = fresh;
    source_ = data;
    unlockMixer();
    destroyModulePlayer(old);
    return 1;
}

void hssMusic::unload() {
    lockMixer();
    for (hssSpeaker* s = speakers; s; s = s->next_) s->forget(this);
    ModulePlayer* old = player_;
    player_ = nullptr;
    source_ = nullptr;
    unlockMixer();
    destroyModulePlayer(old);
}

int hssMusic::loop(bool enabled) {
    lockMixer();
    loop_ = enabled;
    setModuleLooping(player_, enabled);
    unlockMixer();
    return 1;
}

int hssMusic::volume(int level) {
    lockMixer();
    volume_ = clampInt(level, 0, MUSIC_VOLUME_TOP);
    unlockMixer();
    return volume_;
}

double hssMusic::position() const {
    lockMixer();
    double seconds = modulePosition(player_);
    unlockMixer();
    return seconds;
}

// --- hssSound --------------------------------------------------------------

hssSound::~hssSound() {
    unload();
}

int hssSound::load(const void* data, size_t size) {
    WaveClip clip;
    if (!readWave(static_cast<const uint8_t*>(data), size, &clip)) return 0;
    int16_t* samples = decodeWave(clip);
    if (!samples) return 0;
    unload();
    lockMixer();
    samples_ = samples;
    count_ = clip.frameCount;
    rate_ = clip.rate;
    unlockMixer();
    return 1;
}

int hssSound::loadSamples(const int16_t* samples, size_t count, int rate) {
    if (!samples || count == 0) return 0;
    if (rate != 0 && (rate < MIN_RATE || rate > MAX_RATE)) return 0;
    int16_t* copy = new (std::nothrow) int16_t[count];
    if (!copy) return 0;
    std::memcpy(copy, samples, count * sizeof *copy);
    unload();
    lockMixer();
    samples_ = copy;
    count_ = count;
    rate_ = rate;
    unlockMixer();
    return 1;
}

void hssSound::unload() {
    lockMixer();
    for (hssSpeaker* s = speakers; s; s = s->next_) s->forget(this);
    int16_t* old = samples_;
    samples_ = nullptr;
    count_ = 0;
    rate_ = 0;
    unlockMixer();
    delete[] old;
}

// --- hssSpeaker ------------------------------------------------------------

hssSpeaker* activeSpeaker() {
    return active;
}

hssSpeaker::hssSpeaker() {
    next_ = speakers;
    speakers = this;
}

hssSpeaker::~hssSpeaker() {
    close();
    for (hssSpeaker** link = &speakers; *link; link = &(*link)->next_) {
        if (*link == this) {
            *link = next_;
            break;
        }
    }
}

int hssSpeaker::open(int rate, int bits, bool stereo, int musicChannels, int soundChannels) {
    (void)bits; // the mix is always mono 16-bit
    (void)stereo;
    (void)musicChannels; // one music at a time
    close();
    lockMixer();
    rate_ = rate >= MIN_RATE && rate <= MAX_RATE ? rate : 22050;
    soundChannels_ = clampInt(soundChannels, 1, MAX_SOUND_CHANNELS);
    for (Voice& voice : voices_) voice = Voice();
    active = this;
    unlockMixer();
    bool device = host && host->openAudio && host->openAudio(rate_);
    lockMixer();
    open_ = device;
    unlockMixer();
    return device ? 1 : 0;
}

void hssSpeaker::close() {
    stopMusics();
    stopSounds();
    lockMixer();
    bool wasOpen = open_;
    open_ = false;
    if (active == this) active = nullptr;
    unlockMixer();
    if (wasOpen && host && host->closeAudio) host->closeAudio();
}

int hssSpeaker::playMusic(hssMusic* music, int flags) {
    (void)flags;
    if (!music || !music->loaded()) return 0;
    lockMixer();
    music_ = music;
    unlockMixer();
    return 1;
}

void hssSpeaker::stopMusics() {
    lockMixer();
    music_ = nullptr;
    unlockMixer();
}

int hssSpeaker::playSound(hssSound* sound, int flags) {
    (void)flags;
    if (!sound || !sound->loaded()) return 0;
    lockMixer();
    Voice* chosen = &voices_[0];
    for (int i = 0; i < soundChannels_; ++i) {
        Voice& voice = voices_[i];
        if (!voice.sound) {
            chosen = &voice;
            break;
        }
        if (voice.order - chosen->order > 0x80000000u) chosen = &voice; // older
    }
    chosen->sound = sound;
    chosen->position = 0;
    chosen->order = ++voiceOrder_;
    unlockMixer();
    return 1;
}

void hssSpeaker::stopSounds() {
    lockMixer();
    for (Voice& voice : voices_) voice = Voice();
    unlockMixer();
}

int hssSpeaker::volumeSounds() const {
    return soundVolume_;
}

void hssSpeaker::volumeSounds(int level) {
    lockMixer();
    soundVolume_ = clampInt(level, 0, SOUND_VOLUME_TOP);
    unlockMixer();
}

int hssSpeaker::volumeMusics() const {
    return musicVolume_;
}

void hssSpeaker::volumeMusics(int level) {
    lockMixer();
    musicVolume_ = clampInt(level, 0, MUSIC_VOLUME_TOP);
    unlockMixer();
}

const hssMusic* hssSpeaker::playingMusic() const {
    lockMixer();
    const hssMusic* music = music_;
    unlockMixer();
    return music;
}

int hssSpeaker::playingSounds() const {
    lockMixer();
    int busy = 0;
    for (const Voice& voice : voices_) busy += voice.sound ? 1 : 0;
    unlockMixer();
    return busy;
}

void hssSpeaker::forget(const hssSound* sound) {
    for (Voice& voice : voices_) {
        if (voice.sound == sound) voice = Voice();
    }
}

void hssSpeaker::forget(const hssMusic* music) {
    if (music_ == music) music_ = nullptr;
}

// Adds up to count samples of the music, scaled by both music volumes.
void hssSpeaker::mixMusic(int32_t* mix, size_t count) {
    if (!music_ || !music_->player_) return;
    int16_t decoded[MIX_CHUNK];
    size_t got = readModuleSamples(music_->player_, rate_, count, decoded);
    int32_t gain = musicVolume_ * music_->volume_;
    const int32_t unity = MUSIC_VOLUME_TOP * MUSIC_UNITY;
    for (size_t i = 0; i < got; ++i) mix[i] += decoded[i] * gain / unity;
}

// Adds the clip from where the voice stands, resampled linearly to the
// speaker's rate; the voice falls free at the clip's end.
void hssSpeaker::mixVoice(Voice& voice, int32_t* mix, size_t count) {
    const hssSound* sound = voice.sound;
    if (!sound->samples_) {
        voice = Voice();
        return;
    }
    int clipRate = sound->rate_ ? sound->rate_ : rate_;
    uint64_t step = (static_cast<uint64_t>(clipRate) << 16) / static_cast<uint64_t>(rate_);
    const int16_t* s = sound->samples_;
    size_t length = sound->count_;
    for (size_t i = 0; i < count; ++i) {
        uint64_t index = voice.position >> 16;
        if (index >= length) {
            voice = Voice();
            return;
        }
        int32_t a = s[index];
        int32_t b = index + 1 < length ? s[index + 1] : a;
        int32_t fraction = static_cast<int32_t>(voice.position & 0xFFFF);
        int32_t value = a + static_cast<int32_t>(static_cast<int64_t>(b - a) * fraction / 65536);
        mix[i] += value * soundVolume_ / SOUND_VOLUME_TOP;
        voice.position += step;
    }
}

void hssSpeaker::render(int16_t* out, size_t count) {
    if (!out) return;
    int32_t mix[MIX_CHUNK];
    for (size_t done = 0; done < count;) {
        size_t n = count - done < MIX_CHUNK ? count - done : MIX_CHUNK;
        std::memset(mix, 0, n * sizeof *mix);
        if (open_) {
            mixMusic(mix, n);
            for (int v = 0; v < soundChannels_; ++v) {
                if (voices_[v].sound) mixVoice(voices_[v], mix, n);
            }
        }
        for (size_t i = 0; i < n; ++i) out[done + i] = saturate(mix[i]);
        done += n;
    }
}
