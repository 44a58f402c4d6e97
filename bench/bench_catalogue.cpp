// Reading the cask catalogue: a generated catalogue of the real one's shape and size (about 7,500
// casks, about 16 MB), measured side by side in one run:
//   - simdjson's bare validating parse of the bytes (a fresh parser each time, as a one-off reader has
//     it, and a warm parser that is reused),
//   - parseCaskCatalogue (the same parse, then the name → token map),
//   - QJsonDocument::fromJson of the same bytes.
// Prints medians, ratios to the bare parse with a fresh parser, and the peak memory each one adds
// (measured in a child process of its own, so no reader inherits another's heap). The goal compares
// like with like: parseCaskCatalogue makes one parser per catalogue, so its yardstick is a parse with a
// fresh parser, which pays for first touching simdjson's buffers (about three times the input). The warm
// row shows what that first touch costs. Exits with status 1 when building the map takes more than
// twice the fresh bare parse.
//   bench_catalogue [REPETITIONS]

#include "inventory/caskcatalogue.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <simdjson.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

constexpr int caskCount = 7500;
constexpr double goal = 2.0;
const char *const childOption = "--peak-memory-of";

[[noreturn]] void fail(const char *what) {
    std::fprintf(stderr, "bench_catalogue: %s\n", what);
    std::exit(2);
}

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
        const std::string name = word() + ' ' + word() + ' ' + std::to_string(i);
        std::string token = "cask-" + std::to_string(i);
        if (i % 40 == 0)
            token += "@beta";
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
               (i % 3 ? "true" : "null") +
               R"(,"deprecated":false,"deprecation_date":null,"deprecation_reason":null,)"
               R"("deprecation_replacement_formula":null,"deprecation_replacement_cask":null,)"
               R"("deprecate_args":null,"disabled":false,"disable_date":null,"disable_reason":null,)"
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
        if (i % 20 == 7) { // an installer package, no application
            list += R"({"pkg":[)" + quoted(name + ".pkg") + R"(]},)";
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
            list += quoted(std::string("~/Library/") + places[p % 6] + "/" + bundleId);
        }
        list += "]}]}";
        out += list;
    }

    std::mt19937 m_random{20241207};
};

// Peak resident memory and current resident memory of this process, in kB.
qint64 statusKb(const char *field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(field) + ':';
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

double median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

bool bareParse(const QByteArray &bytes) {
    simdjson::dom::parser parser;
    return parser.parse(bytes.constData(), static_cast<size_t>(bytes.size())).error() == simdjson::SUCCESS;
}

// The child: reads the file, then reports how far one reader raises the peak above what was resident.
int measurePeak(const QString &kind, const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        fail("child cannot read the catalogue");
    const QByteArray bytes = file.readAll();
    const qint64 before = statusKb("VmRSS");
    qsizetype size = 0;
    if (kind == u"bare") {
        size = bareParse(bytes) ? 1 : 0;
    } else if (kind == u"map") {
        const inventory::CaskMap map = inventory::parseCaskCatalogue(bytes);
        size = map.size();
    } else {
        const QJsonDocument document = QJsonDocument::fromJson(bytes);
        size = document.isArray() ? 1 : 0;
    }
    std::printf("%lld %lld\n", static_cast<long long>(statusKb("VmHWM") - before),
                static_cast<long long>(size));
    return 0;
}

double peakMb(const QString &kind, const QString &path) {
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), {QLatin1StringView(childOption), kind, path});
    if (!child.waitForFinished(120000) || child.exitCode() != 0)
        fail("the memory child failed");
    return static_cast<double>(child.readAllStandardOutput().split(' ').value(0).toLongLong()) / 1024.0;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() == 4 && arguments.at(1) == QLatin1StringView(childOption))
        return measurePeak(arguments.at(2), arguments.at(3));
    const int repetitions = arguments.size() > 1 ? std::max(3, arguments.at(1).toInt()) : 15;

    const std::string generated = Generator().catalogue();
    const QByteArray bytes(generated.data(), static_cast<qsizetype>(generated.size()));
    QTemporaryDir scratch;
    const QString path = scratch.filePath(QStringLiteral("cask.json"));
    QFile file(path);
    if (!scratch.isValid() || !file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        fail("cannot write the generated catalogue");
    file.close();

    const inventory::CaskMap map = inventory::parseCaskCatalogue(bytes);
    if (map.isEmpty() || !bareParse(bytes) || !QJsonDocument::fromJson(bytes).isArray())
        fail("the generated catalogue does not read back");
    std::printf("catalogue: %d casks, %.1f MB, %lld application names mapped; %d repetitions, medians\n",
                caskCount, static_cast<double>(bytes.size()) / (1 << 20), static_cast<long long>(map.size()),
                repetitions);

    std::vector<double> bareFresh, bareWarm, mapped, qt;
    simdjson::dom::parser warm;
    for (int i = 0; i < repetitions; ++i) {
        // Interleaved, so drifts of the machine fall on every reader alike.
        QElapsedTimer timer;
        timer.start();
        if (!bareParse(bytes))
            fail("bare parse failed");
        bareFresh.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        if (warm.parse(bytes.constData(), static_cast<size_t>(bytes.size())).error() != simdjson::SUCCESS)
            fail("warm parse failed");
        bareWarm.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        {
            const inventory::CaskMap result = inventory::parseCaskCatalogue(bytes);
            mapped.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (result.size() != map.size())
                fail("the map changed between runs");
        }

        timer.restart();
        {
            const QJsonDocument document = QJsonDocument::fromJson(bytes);
            qt.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
            if (!document.isArray())
                fail("QJsonDocument failed");
        }
    }

    const double fresh = median(bareFresh);
    const double rows[] = {fresh, median(bareWarm), median(mapped), median(qt)};
    const char *const names[] = {"simdjson parse (fresh parser)", "simdjson parse (warm parser)",
                                 "parseCaskCatalogue (parse + map)", "QJsonDocument::fromJson"};
    const char *const kinds[] = {"bare", nullptr, "map", "qjson"};
    std::printf("%-34s %10s %8s %12s\n", "reader", "median", "ratio", "peak added");
    for (int i = 0; i < 4; ++i) {
        std::printf("%-34s %8.2f ms %7.2fx", names[i], rows[i], rows[i] / fresh);
        if (kinds[i])
            std::printf(" %9.1f MB\n", peakMb(QLatin1StringView(kinds[i]), path));
        else
            std::printf(" %12s\n", "-");
    }
    const double ratio = rows[2] / fresh;
    std::printf("parseCaskCatalogue against the warm parse: %.2fx\n", rows[2] / rows[1]);
    std::printf("goal: parseCaskCatalogue at most %.1fx the fresh bare parse: %.2fx, %s\n", goal, ratio,
                ratio <= goal ? "met" : "NOT met");
    return ratio <= goal ? 0 : 1;
}
