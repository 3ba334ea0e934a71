#include "scores/pages.h"

#include "game/score_code.h"
#include "scores/checks.h"

#include <ctime>

namespace {

const char* const STYLE =
    "body{font-family:sans-serif;max-width:40em;margin:1em auto;padding:0 1em;background:#012;"
    "color:#def}a{color:#8cf}table{border-collapse:collapse;width:100%}td,th{padding:.2em .5em;"
    "text-align:left}tr:nth-child(even){background:#123}input{font-size:1em}";

std::string page(const std::string& title, const std::string& body) {
    return "<!doctype html><html lang=\"en\"><head><meta charset=\"utf-8\"><meta "
           "name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>" +
           escapeHtml(title) + " - Reefdart scores</title><style>" + STYLE +
           "</style></head><body><nav><a href=\"/\">Reefdart scores</a> · <a "
           "href=\"/play/\">Play</a> · <a href=\"/boards\">Boards</a> · <a "
           "href=\"/check\">Check a code</a></nav><h1>" +
           escapeHtml(title) + "</h1>" + body + "</body></html>";
}

std::string day(int64_t ms) {
    std::time_t t = static_cast<std::time_t>(ms / 1000);
    std::tm tm;
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &tm);
    return text;
}

std::string urlPart(const std::string& text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
            c == '-' || c == '.' || c == '_')
            out += static_cast<char>(c);
        else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

// What watchers and moderators are told of an entry.
std::string notes(const Entry& e) {
    std::string text;
    if (e.flag == "fast") text += "input faster than a hand ";
    if (e.flag == "regular") text += "input of machine regularity ";
    if (e.reports > 0)
        text += "reported " + std::to_string(e.reports) + (e.reports == 1 ? " time" : " times");
    return escapeHtml(text);
}

std::string table(const std::vector<Entry>& entries, int64_t highlight = -1) {
    if (entries.empty()) return "<p>No runs yet.</p>";
    std::string html = "<table><tr><th>#</th><th>Name</th><th>Score</th><th>Finished "
                       "(UTC)</th><th>Replay</th><th>Notes</th></tr>";
    for (const Entry& e : entries) {
        std::string id = std::to_string(e.id);
        html += std::string(e.id == highlight ? "<tr style=\"font-weight:bold\">" : "<tr>") +
                "<td>" + std::to_string(e.rank) + "</td><td><a href=\"/players/" +
                escapeHtml(urlPart(e.name)) + "\">" + escapeHtml(e.name) + "</a></td><td>" +
                std::to_string(e.score) + "</td><td>" + day(e.finishedMs) +
                "</td><td><a href=\"/play/?watch=/api/entries/" + id +
                "/replay\">watch</a> · <a href=\"/api/entries/" + id +
                "/replay\">download</a></td><td>" + notes(e) + "</td></tr>";
    }
    return html + "</table>";
}

void html(httplib::Response& res, int status, const std::string& text) {
    res.status = status;
    res.set_content(text, "text/html; charset=utf-8");
}

} // namespace

void addPages(httplib::Server& http, Store& store, const SiteConfig&,
              std::function<int64_t()> now) {
    using R = const httplib::Request&;
    using W = httplib::Response&;
    http.Get("/", [](R, W s) {
        html(s, 200,
             page("Reefdart scores",
                  "<p>Fly a small fish through an endless underwater cave: hold to rise, let go "
                  "to sink.</p><p><a href=\"/play/\">Play in the browser</a>: every game you "
                  "finish there is sent here, played again by the game's own rules, and can "
                  "then be published under a name.</p><p>The <a href=\"/boards\">boards</a> "
                  "rank only runs this site has played again itself; every run on them can be "
                  "watched and downloaded.</p>"));
    });
    http.Get("/boards", [&store, now](R, W s) {
        int64_t week = weekStartMs(now());
        html(s, 200,
             page("Boards", "<h2>This week (since " + day(week) + " UTC)</h2>" +
                                table(store.board(week, 100)) + "<h2>All time</h2>" +
                                table(store.board(0, 100))));
    });
    http.Get(R"(/players/([A-Za-z0-9 .%-]{1,40}))", [&store](R q, W s) {
        std::string name = q.matches[1];
        Entry best;
        std::vector<Entry> around;
        if (!store.playerBest(name, 0, 5, &best, &around))
            return html(s, 404, page("No such player", "<p>No published runs by that name.</p>"));
        html(s, 200,
             page(best.name, "<p>Best score " + std::to_string(best.score) + ", rank " +
                                 std::to_string(best.rank) + " of all time.</p>" +
                                 table(around, best.id)));
    });
    http.Get("/check", [](R q, W s) {
        std::string code = q.get_param_value("code");
        std::string result;
        if (!code.empty()) {
            int32_t score = 0;
            bool genuine = code.size() <= 16 && checkScoreCode(code.c_str(), &score) != 0;
            result = genuine ? "<p>The code " + escapeHtml(code) + " stands for a score of " +
                                   std::to_string(score) + ".</p>"
                             : "<p>The code " + escapeHtml(code) + " is not genuine.</p>";
        }
        html(s, 200,
             page("Check a score code",
                  "<form action=\"/check\"><label>Code from the game-over screen: <input "
                  "name=\"code\" maxlength=\"16\" inputmode=\"numeric\" value=\"" +
                      escapeHtml(code) + "\"></label> <button>Check</button></form>" + result +
                      "<p>" + SCORE_CODE_NOTE + "</p>"));
    });
}
