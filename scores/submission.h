// What the site reads from outside besides its paths: a submitted replay's
// bytes and the small JSON bodies of the other requests.
#pragma once

#include "game/replay.h"

#include <initializer_list>
#include <string>
#include <vector>

// False with the refusal's reason when body is no replay the site takes: not
// a replay, or one played without a ticket.
bool readSubmission(const std::string& body, Replay* replay, std::string* reason);
// The named string fields of a JSON object body ("" for one missing or not a
// string); false when the body is not a JSON object.
bool readFields(const std::string& body, std::initializer_list<const char*> names,
                std::vector<std::string>* values);
