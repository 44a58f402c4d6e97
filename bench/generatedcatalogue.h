#pragma once

// A cask catalogue of the real one's shape and size (about 7,500 casks, about 16 MB), for the
// benchmarks that read it.

#include <iterator>
#include <random>
#include <string>

namespace bench {

constexpr int caskCount = 7500;

// Deterministic, so every run measures the same bytes.
class Generator {
public:
    std::string catalogue() {
        std::string out;
        out.reserve(17u << 20);
        out += '[';
        for (int i = 0; i < caskCount; ++i) {
            if (i)
                out += ',';
            cask(out, i);
        }
        out += "]\n";
        return out;
    }

private:
    int pick(int from, int to) { return std::uniform_int_distribution<int>(from, to)(m_random); }
    std::string hex(int length) {
        static const char digits[] = "0123456789abcdef";
        std::string text;
        for (int i = 0; i < length; ++i)
            text += digits[pick(0, 15)];
        return text;
    }
    std::string word() {
        static const char *const words[] = {
            "Studio", "Pro",   "Note",   "Sync",   "Flow", "Desk",  "Cloud", "Pixel", "Mail",  "Code",
            "Time",   "Track", "Player", "Viewer", "Lens", "Forge", "Relay", "Dock",  "Shelf", "\u00c4rger"};
        return words[pick(0, static_cast<int>(std::size(words)) - 1)];
    }
    static std::string quoted(const std::string &text) { return '"' + text + '"'; }

    void cask(std::string &out, int i) {
        std::string name = word() + ' ' + word() + ' ' + std::to_string(i);
        std::string token = "cask-" + std::to_string(i);
        if (i % 40 == 0)
            token += "@beta";
        // Every 25th application also has a nightly sibling, and some of those are disabled, so
        // choosing between casks has work to do.
        if (i % 25 == 1) {
            name = m_previousName;
            token = m_previousToken + "@nightly";
        }
        m_previousName = name;
        m_previousToken = token;
        const std::string version = std::to_string(pick(0, 30)) + '.' + std::to_string(pick(0, 20)) + '.' +
                                    std::to_string(pick(0, 200));
        const std::string host = "downloads.example" + std::to_string(i % 300) + ".com";
        const std::string url =
            "https://" + host + "/releases/" + version + "/" + token + "-" + version + ".dmg";
        const std::string bundleId = "com.example" + std::to_string(i % 500) + "." + token;

        out += R"({"token":)" + quoted(token) + R"(,"full_token":)" + quoted(token) +
               R"(,"old_tokens":[],"tap":"homebrew/cask","name":[)" + quoted(name) + R"(],"desc":)" +
               quoted("A tool for " + word() + " and " + word() + " work") + R"(,"homepage":)" +
               quoted("https://" + host + "/") + R"(,"url":)" + quoted(url) + R"(,"url_specs":{"verified":)" +
               quoted(host + "/") + R"(},"version":)" + quoted(version) +
               R"(,"autobump":true,"no_autobump_message":null,"skip_livecheck":false,"installed":null,)"
               R"("installed_time":null,"bundle_version":null,"bundle_short_version":null,"outdated":false,)"
               R"("sha256":)" +
               quoted(hex(64)) + R"(,"artifacts":[)";
        artifacts(out, name, bundleId, i);
        out += R"(],"caveats":null,"caveats_rosetta":null,"depends_on":{"macos":{">=":[)" +
               quoted(std::to_string(pick(10, 15))) +
               R"(]}},"conflicts_with":null,"container":null,"rename":[],"auto_updates":)" +
               (i % 3 ? "true" : "null") + R"(,"deprecated":)" + (i % 90 == 2 ? "true" : "false") +
               R"(,"deprecation_date":null,"deprecation_reason":null,)"
               R"("deprecation_replacement_formula":null,"deprecation_replacement_cask":null,)"
               R"("deprecate_args":null,"disabled":)" +
               (i % 100 == 51 ? "true" : "false") +
               R"(,"disable_date":null,"disable_reason":null,)"
               R"("disable_replacement_formula":null,"disable_replacement_cask":null,"disable_args":null,)"
               R"("tap_git_head":)" +
               quoted(hex(40)) + R"(,"languages":[],"ruby_source_path":)" +
               quoted("Casks/" + token.substr(0, 1) + "/" + token + ".rb") +
               R"(,"ruby_source_checksum":{"sha256":)" + quoted(hex(64)) + R"(},"variations":{)";
        static const char *const systems[] = {
            "arm64_tahoe", "arm64_sequoia", "arm64_sonoma", "arm64_ventura", "tahoe",
            "sequoia",     "sonoma",        "ventura",      "x86_64_linux",  "arm64_linux"};
        const int variations = pick(1, 6);
        for (int v = 0; v < variations; ++v) {
            if (v)
                out += ',';
            out +=
                quoted(systems[v]) + R"(:{"url":)" +
                quoted("https://" + host + "/releases/" + version + "/" + token + "-" + systems[v] + ".dmg") +
                R"(,"sha256":)" + quoted(hex(64)) + '}';
        }
        out += "}}";
    }

    void artifacts(std::string &out, const std::string &name, const std::string &bundleId, int i) {
        std::string list;
        if (i % 4 == 0)
            list += R"({"uninstall":[{"quit":)" + quoted(bundleId) + R"(,"launchctl":)" +
                    quoted(bundleId + ".helper") + R"(}]},)";
        if (i % 20 == 7) { // an installer package, no application: uninstalling names what it installs
            list += R"({"uninstall":[{"signal":["TERM",)" + quoted(bundleId) + R"(],"delete":[)" +
                    quoted("/Applications/" + name + ".app") + ',' +
                    quoted("/Library/Application Support/" + name) + ',' +
                    quoted("/Library/Logs/" + name + "*") + R"(]}]},{"pkg":[)" + quoted(name + ".pkg") +
                    R"(]},)";
        } else if (i % 50 == 3) { // renamed on installation
            list += R"({"app":[)" + quoted(name + " Beta.app") + R"(,{"target":)" + quoted(name + ".app") +
                    R"(}]},)";
        } else {
            list += R"({"app":[)" + quoted(name + ".app") + R"(],"target":)" +
                    quoted("/Applications/" + name + ".app") + "},";
            if (i % 30 == 5)
                list += R"({"app":[)" + quoted(name + " Helper.app") + "]},";
        }
        if (i % 6 == 1)
            list += R"({"binary":[)" + quoted("$APPDIR/" + name + ".app/Contents/MacOS/cli") +
                    R"(],"target":"/usr/local/bin/)" + std::to_string(i) + "\"},";
        list += R"({"zap":[{"trash":[)";
        const int paths = pick(2, 6);
        for (int p = 0; p < paths; ++p) {
            static const char *const places[] = {"Application Support",     "Caches",       "Preferences",
                                                 "Saved Application State", "HTTPStorages", "Logs"};
            if (p)
                list += ',';
            list += quoted(std::string("~/Library/") + places[p % 6] + "/" + bundleId +
                           (p % 6 == 2 ? ".plist" : ""));
        }
        list += "]}]}";
        out += list;
    }

    std::mt19937 m_random{20241207};
    std::string m_previousName;
    std::string m_previousToken;
};

} // namespace bench
