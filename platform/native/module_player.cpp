// The native hosts' module player: libopenmpt.
#include "platform/hss/module_player.h"

#include <atomic>
#include <libopenmpt/libopenmpt.h>

struct ModulePlayer {
    openmpt_module* module;
};

namespace {

std::atomic<int> logMessages{0};

// The decoder reports warnings while loading and playing; the program has no
// log, so they are only counted.
void countLogMessage(const char* message, void* user) {
    (void)message;
    (void)user;
    logMessages.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

ModulePlayer* createModulePlayer(const void* data, size_t size) {
    if (!data || size == 0) return nullptr;
    // Paula-style resampling for Amiga modules, and no dither so that the
    // same module always renders the same samples.
    const openmpt_module_initial_ctl ctls[] = {
        {"render.resampler.emulate_amiga", "1"},
        {"dither", "0"},
        {"play.at_end", "stop"},
        {nullptr, nullptr},
    };
    openmpt_module* module = openmpt_module_create_from_memory2(data, size, countLogMessage,
                                                                nullptr, openmpt_error_func_ignore,
                                                                nullptr, nullptr, nullptr, ctls);
    if (!module) return nullptr;
    ModulePlayer* player = new ModulePlayer{module};
    return player;
}

void destroyModulePlayer(ModulePlayer* player) {
    if (!player) return;
    openmpt_module_destroy(player->module);
    delete player;
}

void setModuleLooping(ModulePlayer* player, bool looping) {
    if (player) openmpt_module_set_repeat_count(player->module, looping ? -1 : 0);
}

size_t readModuleSamples(ModulePlayer* player, int rate, size_t count, int16_t* out) {
    if (!player || rate <= 0) return 0;
    return openmpt_module_read_mono(player->module, rate, count, out);
}

double modulePosition(ModulePlayer* player) {
    return player ? openmpt_module_get_position_seconds(player->module) : 0.0;
}

int moduleLogMessageCount() {
    return logMessages.load(std::memory_order_relaxed);
}
