// The desktop's link to a score site (--scores URL): it keeps a ticket at
// hand for the next game, announces each game's start and end, and sends
// each finished game's replay, all on a thread of its own so that no tick
// ever waits for the network. A replay is first kept in the data folder's
// outbox and leaves it only once the site has answered, so a replay outlives
// a lost connection, a crash or a kill of the game and goes at the next
// start.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Starts the link to the site at url (http://host[:port], or https://);
// with a name, each verified run is also published under it, with this
// installation's key (kept in the data folder as scores.key). False with
// the reason when the address or the key cannot be used.
bool startOnline(const std::string& url, const std::string& name, std::string* error);
// Stops the link, giving what is in flight a few seconds to finish.
void stopOnline();

// The two services the game takes (shell/entry.h, setOnlineEdition).
bool onlineTakeTicket(char* ticket, size_t capacity, uint32_t* randomState);
void onlineSendReplay(const uint8_t* bytes, size_t size, const char* ticket, uint64_t finalHash);
