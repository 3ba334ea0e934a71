# The sources both builds share, room by room: the native targets
# (CMakeLists.txt) and the browser edition (cmake/web.cmake) list their hosts'
# files themselves. A new file goes into its room's list here.

# The game: its subsystems, written against the handheld's interfaces.
set(GAME_SOURCES
  shell/app.cpp
  shell/autopilot.cpp
  shell/entry.cpp
  shell/input.cpp
  shell/program_objects.cpp
  shell/replays.cpp
  shell/screen_state.cpp
  shell/startup.cpp
  shell/state.cpp
  shell/watch.cpp
  frontend/frontend.cpp
  game/bubbles.cpp
  game/cave.cpp
  game/fish.cpp
  game/game_screen.cpp
  game/recorder.cpp
  game/replay.cpp
  game/score.cpp
  game/score_code.cpp
  game/simulate.cpp
  game/world.cpp
  gfx/assets.cpp
  gfx/bitmap_load.cpp
  gfx/blit.cpp
  gfx/blit_wide.cpp
  gfx/blit_wide512.cpp
  gfx/gapi_buffer.cpp
  gfx/layout.cpp
  gfx/surface.cpp
  gfx/text.cpp
  persist/settings.cpp
  sound/sound.cpp)

# The handheld as the game sees it: the Windows CE stand-ins, the Game API and
# the sound library, over the host interface. What they need from a host's
# build (platform/host/host.h, instance.h, platform/hss/module_player.h) each
# host folder gives.
set(HANDHELD_SOURCES
  platform/wince/bitmap.cpp
  platform/wince/debug.cpp
  platform/wince/dialog.cpp
  platform/wince/files.cpp
  platform/wince/folders.cpp
  platform/wince/messages.cpp
  platform/wince/paint.cpp
  platform/wince/resources.cpp
  platform/wince/runtime.cpp
  platform/wince/system_font.cpp
  platform/wince/time.cpp
  platform/gapi/device.cpp
  platform/hss/hss.cpp
  platform/host/host.cpp
  platform/wince/steady_clock.cpp)

# The tables beside the embedded pictures, modules and clips.
set(RESOURCE_SOURCES resources/app_resources.cpp)
