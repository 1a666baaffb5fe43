#include "tools/logSummary.h"

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "log/logout.h"
#include "tools/encoding.h"

namespace qvt {
namespace ht {
namespace tool {
namespace {

// Plain storage, usable before static constructors and after destructors.
char g_loadRecord[256];
bool g_verbose = false;
bool g_collecting = false;

typedef std::tuple<std::string, std::string, std::string> Key;  // level, logger, message
std::map<Key, long>* g_counts = nullptr;

std::string withoutHolding(const char* message);

bool isEnterExit(const char* level) {
    return level && std::strcmp(level, zAZir4::LEVEL_ENTER_EXIT) == 0;
}

void sink(const char* level, const char* logger, const char* message, const char*, int) {
    if (isEnterExit(level)) {
        if (!g_collecting && !g_verbose && g_loadRecord[0] == '\0') {
            // Before main: keep the load record until the verbosity is known.
            std::snprintf(g_loadRecord, sizeof g_loadRecord, "%s", message ? message : "");
        } else if (g_verbose) {
            std::fprintf(stderr, "%s %s\n", level, message ? message : "");
        }
        return;
    }
    if (!g_collecting || !g_counts) return;
    Key key(level ? level : "", logger ? logger : "", withoutHolding(message));
    // Distinct messages are few unless they name holdings; keep memory flat.
    if (g_counts->size() >= 1000 && !g_counts->count(key)) {
        key = Key(std::get<0>(key), std::get<1>(key), "(further distinct messages)");
    }
    ++(*g_counts)[key];
}

// The message in UTF-8 with the holding it names, if any, left out: the
// library writes a holding as "[(" fields ")]", and messages that differ only
// in it count as one.
std::string withoutHolding(const char* message) {
    std::string text = gbkToUtf8(message ? message : "");
    for (std::string::size_type at = text.find("[("); at != std::string::npos;
         at = text.find("[(", at + 1)) {
        const std::string::size_type end = text.find(")]", at);
        if (end == std::string::npos) break;
        text.replace(at, end + 2 - at, "[...]");
    }
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

#if defined(__ELF__)
void installEarlySink(int, char**, char**) { zAZir4::setSink(&sink); }
__attribute__((section(".preinit_array"),
               used)) void (*const g_preinit)(int, char**, char**) = &installEarlySink;
#endif

}  // namespace

void startLogSummary(bool verbose) {
    g_verbose = verbose;
    if (!g_counts) g_counts = new std::map<Key, long>;
    g_collecting = true;
    zAZir4::setSink(&sink);
    if (verbose && g_loadRecord[0] != '\0') {
        std::fprintf(stderr, "%s %s\n", zAZir4::LEVEL_ENTER_EXIT, g_loadRecord);
    }
}

long logProblemCount() {
    long n = 0;
    if (!g_counts) return 0;
    for (const auto& entry : *g_counts) {
        if (std::get<0>(entry.first) != zAZir4::LEVEL_DEBUG) n += entry.second;
    }
    return n;
}

void printLogSummary(std::ostream& out) {
    g_collecting = false;
    if (!g_counts || g_counts->empty()) return;
    out << "library messages:\n";
    for (const auto& entry : *g_counts) {
        const std::string& message = std::get<2>(entry.first);
        out << "  " << std::get<0>(entry.first) << ' ' << std::get<1>(entry.first) << ": "
            << message << " (" << entry.second << (entry.second == 1 ? " time)\n" : " times)\n");
    }
    g_counts->clear();
}

}  // namespace tool
}  // namespace ht
}  // namespace qvt
