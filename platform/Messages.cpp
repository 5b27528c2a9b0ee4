// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Messages.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <regex>
#include <string_view>
#include <vector>

// The catalogue's text (po/ru.po), compiled in by the build.
extern const unsigned char kRussianCatalogue[];
extern const std::size_t kRussianCatalogueSize;

namespace platform {

namespace {

struct Pattern {
    std::regex match;
    std::string translation;  // with %s where the parts go
    std::size_t literal;      // characters besides the parts: the more, the more specific
};

struct Catalogue {
    std::map<std::string, std::string, std::less<>> whole;
    std::vector<Pattern> patterns;
};

// The text of a quoted PO string: "..." with \" \\ \n \t.
std::string unquote(std::string_view line) {
    const auto first = line.find('"');
    const auto last = line.rfind('"');
    std::string out;
    if (first == std::string_view::npos || last <= first) return out;
    for (std::size_t i = first + 1; i < last; ++i) {
        char c = line[i];
        if (c == '\\' && i + 1 < last) {
            c = line[++i];
            if (c == 'n') c = '\n';
            if (c == 't') c = '\t';
        }
        out += c;
    }
    return out;
}

std::string escapeForRegex(const std::string& text) {
    static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
    return std::regex_replace(text, special, R"(\$&)");
}

const Catalogue& russian() {
    static const Catalogue catalogue = [] {
        Catalogue c;
        std::string id, str, *into = nullptr;
        auto keep = [&] {
            if (!id.empty() && !str.empty()) {
                if (id.find("%s") == std::string::npos) {
                    c.whole.emplace(id, str);
                } else {
                    std::string pattern;
                    std::size_t literal = 0, from = 0;
                    for (auto at = id.find("%s"); at != std::string::npos; at = id.find("%s", from)) {
                        pattern += escapeForRegex(id.substr(from, at - from)) + "(.+?)";
                        literal += at - from;
                        from = at + 2;
                    }
                    pattern += escapeForRegex(id.substr(from));
                    literal += id.size() - from;
                    c.patterns.push_back({std::regex(pattern), str, literal});
                }
            }
            id.clear();
            str.clear();
            into = nullptr;
        };
        std::string_view text(reinterpret_cast<const char*>(kRussianCatalogue), kRussianCatalogueSize);
        while (!text.empty()) {
            const auto end = text.find('\n');
            const std::string_view line = text.substr(0, end);
            text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
            if (line.rfind("msgid ", 0) == 0) {
                keep();
                id = unquote(line);
                into = &id;
            } else if (line.rfind("msgstr ", 0) == 0) {
                str = unquote(line);
                into = &str;
            } else if (!line.empty() && line[0] == '"' && into) {
                *into += unquote(line);
            }
        }
        keep();
        // The most specific form first: "%s: %s" only when nothing else fits.
        std::stable_sort(c.patterns.begin(), c.patterns.end(),
                         [](const Pattern& a, const Pattern& b) { return a.literal > b.literal; });
        return c;
    }();
    return catalogue;
}

std::string translateLine(const std::string& text, int depth) {
    const Catalogue& c = russian();
    if (const auto it = c.whole.find(text); it != c.whole.end()) return it->second;
    if (depth > 2) return text;
    std::smatch m;
    for (const Pattern& p : c.patterns) {
        if (!std::regex_match(text, m, p.match)) continue;
        std::string out;
        std::size_t from = 0, part = 1;
        for (auto at = p.translation.find("%s"); at != std::string::npos; at = p.translation.find("%s", from)) {
            out += p.translation.substr(from, at - from);
            if (part < m.size()) out += translateLine(m[part++].str(), depth + 1);
            from = at + 2;
        }
        return out + p.translation.substr(from);
    }
    return text;
}

}  // namespace

Language terminalLanguage() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value && *value) return std::string_view(value).rfind("ru", 0) == 0 ? Language::Russian : Language::English;
    }
    return Language::English;
}

std::string translate(const std::string& text, Language language) {
    if (language == Language::English || text.empty()) return text;
    std::string out;
    std::size_t from = 0;
    for (;;) {
        const auto end = text.find('\n', from);
        out += translateLine(text.substr(from, end == std::string::npos ? std::string::npos : end - from), 0);
        if (end == std::string::npos) return out;
        out += '\n';
        from = end + 1;
    }
}

}  // namespace platform
