// Stand-in for the handheld's sound library: a speaker that mixes music
// modules and sound clips into the host's audio output.
//
// Music is a tracker module played from memory; sounds are PCM clips. The
// speaker mixes mono 16-bit samples at the rate given to open(). Volumes: sound
// effects 0..32, music 0..64 on the speaker; each music object has its own
// volume 0..64 as well (32 is unity gain).
//
// The host may pull samples from a thread of its own; every call here that
// changes what the speaker mixes holds the host's audio lock meanwhile.
#pragma once

#include <cstddef>
#include <cstdint>

struct ModulePlayer; // the module decoder behind hssMusic

class hssMusic {
  public:
    hssMusic() = default;
    hssMusic(const hssMusic&) = delete;
    hssMusic& operator=(const hssMusic&) = delete;
    ~hssMusic();
    // Loads a module from memory and rewinds it to its start. The decoder keeps
    // its own copy of the bytes, so they may go after the call whichever copy
    // is. Returns 1, or 0 when the data is not a module this library plays (the
    // music then plays nothing).
    int load(const void* data, size_t size, bool copy);
    void unload();
    int loop(bool enabled);
    int volume(int level); // 0..64, returns the level now in force
    int volume() const { return volume_; }
    bool loaded() const { return player_ != nullptr; }
    // The bytes given to the last successful load, null when nothing is loaded.
    const void* source() const { return source_; }
    // Seconds played since the module was loaded.
    double position() const;

  private:
    friend class hssSpeaker;
    ModulePlayer* player_ = nullptr;
    const void* source_ = nullptr;
    bool loop_ = false;
    int volume_ = 32;
};

class hssSound {
  public:
    hssSound() = default;
    hssSound(const hssSound&) = delete;
    hssSound& operator=(const hssSound&) = delete;
    ~hssSound();
    // Loads a RIFF WAVE clip (PCM, 8 or 16 bits, mono or stereo) from memory;
    // returns 1, or 0 when the data is no such clip (what was loaded before
    // stays).
    int load(const void* data, size_t size);
    // Takes mono 16-bit samples at rate (0: the speaker's rate).
    int loadSamples(const int16_t* samples, size_t count, int rate = 0);
    void unload();
    bool loaded() const { return samples_ != nullptr; }
    // The clip as mono 16-bit samples, and its rate in Hz (0: the speaker's).
    const int16_t* samples() const { return samples_; }
    size_t sampleCount() const { return count_; }
    int sampleRate() const { return rate_; }

  private:
    friend class hssSpeaker;
    int16_t* samples_ = nullptr;
    size_t count_ = 0;
    int rate_ = 0;
};

class hssSpeaker {
  public:
    static constexpr int FLAG_DEFAULT = 0x10000000;

    hssSpeaker();
    hssSpeaker(const hssSpeaker&) = delete;
    hssSpeaker& operator=(const hssSpeaker&) = delete;
    ~hssSpeaker();
    // rate in Hz, bits per sample, stereo, music channels, sound channels.
    // Returns 1, or 0 when there is no audio device (everything then stays
    // silent but keeps working).
    int open(int rate, int bits, bool stereo, int musicChannels, int soundChannels);
    void close();
    // Plays music from where it stands; 0 when it has nothing loaded.
    int playMusic(hssMusic* music, int flags);
    void stopMusics();
    // Starts the clip from its beginning on a free sound channel (the oldest
    // one when all are busy); 0 when the clip has nothing loaded.
    int playSound(hssSound* sound, int flags);
    void stopSounds();
    int volumeSounds() const;
    void volumeSounds(int level);
    int volumeMusics() const;
    void volumeMusics(int level);

    bool isOpen() const { return open_; }
    int rate() const { return rate_; }
    // What is playing, for tests and the recorder: the music object, null when
    // none; and how many sound channels are busy.
    const hssMusic* playingMusic() const;
    int playingSounds() const;

    // Mixes count samples into out (mono, 16-bit); silence while no audio
    // device is open. Called by the host, which holds its audio lock meanwhile.
    void render(int16_t* out, size_t count);

  private:
    struct Voice {
        const hssSound* sound = nullptr;
        uint64_t position = 0; // in clip samples, 16.16 fixed point
        uint32_t order = 0;    // when it started, to find the oldest
    };
    static constexpr int MAX_SOUND_CHANNELS = 8;
    void forget(const hssSound* sound);
    void forget(const hssMusic* music);
    void mixMusic(int32_t* mix, size_t count);
    void mixVoice(Voice& voice, int32_t* mix, size_t count);
    friend class hssMusic;
    friend class hssSound;

    bool open_ = false;
    int rate_ = 22050;
    int soundChannels_ = 4;
    int soundVolume_ = 32;
    int musicVolume_ = 64;
    hssMusic* music_ = nullptr;
    Voice voices_[MAX_SOUND_CHANNELS];
    uint32_t voiceOrder_ = 0;
    hssSpeaker* next_ = nullptr; // every speaker alive, so that a dying clip
                                 // or music can be taken off all of them
};

// The speaker whose output the host plays (the one that was opened last).
hssSpeaker* activeSpeaker();
