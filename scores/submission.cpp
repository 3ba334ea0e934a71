#include "scores/submission.h"

#include <nlohmann/json.hpp>

bool readSubmission(const std::string& body, Replay* replay, std::string* reason) {
    std::string why;
    if (!decodeReplay(reinterpret_cast<const uint8_t*>(body.data()), body.size(), replay, &why)) {
        *reason = "no valid replay: " + why;
        return false;
    }
    if (replay->ticket.empty()) {
        *reason = "it was played without a ticket: an offline run";
        return false;
    }
    return true;
}

bool readFields(const std::string& body, std::initializer_list<const char*> names,
                std::vector<std::string>* values) {
    nlohmann::json j = nlohmann::json::parse(body, nullptr, false);
    values->clear();
    if (!j.is_object()) return false;
    for (const char* name : names) {
        auto it = j.find(name);
        values->push_back(it != j.end() && it->is_string() ? it->get<std::string>() : "");
    }
    return true;
}
