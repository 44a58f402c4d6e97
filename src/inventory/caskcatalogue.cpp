#include "inventory/caskcatalogue.h"

#include <simdjson.h>

namespace inventory {

namespace {

bool allObjects(const simdjson::dom::array &array) {
    for (const simdjson::dom::element element : array) {
        if (!element.is_object())
            return false;
    }
    return true;
}

QString fromUtf8(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

CaskMap parseCaskCatalogue(QByteArrayView json) {
    if (json.isEmpty())
        return {};
    // The DOM parser validates the whole document (UTF-8 included) before anything is read from it,
    // so a truncated download gives an empty map rather than a partial one.
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    if (parser.parse(json.data(), static_cast<size_t>(json.size())).get(root) != simdjson::SUCCESS)
        return {};
    simdjson::dom::array casks;
    if (root.get_array().get(casks) != simdjson::SUCCESS || !allObjects(casks))
        return {};

    CaskMap map;
    // About one application per cask; reserving up front spares the rehashing of a 7,500-entry map.
    map.reserve(static_cast<qsizetype>(casks.size()));
    for (const simdjson::dom::element caskElement : casks) {
        const simdjson::dom::object cask = caskElement.get_object().value_unsafe();
        std::string_view tokenText;
        if (cask["token"].get_string().get(tokenText) != simdjson::SUCCESS)
            continue;
        simdjson::dom::array artifacts;
        if (cask["artifacts"].get_array().get(artifacts) != simdjson::SUCCESS || !allObjects(artifacts))
            continue;

        QString token; // made once per cask, then shared by all its names
        for (const simdjson::dom::element artifact : artifacts) {
            simdjson::dom::array apps;
            if (artifact.get_object().value_unsafe()["app"].get_array().get(apps) != simdjson::SUCCESS)
                continue;
            for (const simdjson::dom::element app : apps) {
                std::string_view name;
                if (app.get_string().get(name) != simdjson::SUCCESS)
                    continue;
                if (token.isNull())
                    token = fromUtf8(tokenText);
                map.insert(fromUtf8(name).toLower(), token);
            }
        }
    }
    return map;
}

} // namespace inventory
