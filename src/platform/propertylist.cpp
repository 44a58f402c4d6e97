#include "platform/propertylist.h"

#include "platform/propertylistbinary.h"
#include "platform/propertylistguard.h"
#include "platform/propertylistxml.h"

#include <QDateTime>
#include <QTimeZone>

#include <plist/plist.h>

#include <cstdlib>
#include <limits>
#include <memory>

namespace platform {

namespace {

struct PlistDeleter {
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

// Nesting deeper than any real property list is refused rather than risking the stack.
constexpr int maxDepth = maxPropertyListDepth;

// Calls `visit` on each item of an array in order while it returns true; false when one said stop.
// Indexed access (plist_array_get_item) walks the item list from its start on every call, which made
// a large array quadratic: 50,000 items took seconds.
template <typename Visit> bool forEachItem(plist_t array, Visit visit) {
    plist_array_iter iter = nullptr;
    plist_array_new_iter(array, &iter);
    bool complete = true;
    while (complete && iter) {
        plist_t item = nullptr;
        plist_array_next_item(array, iter, &item);
        if (!item)
            break;
        complete = visit(item);
    }
    std::free(iter);
    return complete;
}

std::optional<QVariant> toVariant(plist_t node, int depth) {
    if (depth > maxDepth)
        return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return QVariant(value != 0);
    }
    case PLIST_UINT: {
        // An integer is the 64-bit two's-complement number the binary form stores, whichever way the
        // library marks its sign: libplist 2.3 and later keep a separate sign, and their node of a
        // large unsigned value holds the same 64 bits. Wider ones (the binary form's 16-byte integers,
        // XML digits past 64 bits) are left to the library; 2.2 and 2.6 both keep the low 64 bits of
        // the first and clamp the second.
        uint64_t value = 0;
        plist_get_uint_val(node, &value);
        return QVariant(static_cast<qint64>(value));
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return QVariant(value);
    }
    case PLIST_STRING:
    case PLIST_KEY: {
        uint64_t length = 0;
        const char *text = plist_get_string_ptr(node, &length);
        return QVariant(QString::fromUtf8(text, static_cast<qsizetype>(length)));
    }
    case PLIST_DATA: {
        char *data = nullptr;
        uint64_t length = 0;
        plist_get_data_val(node, &data, &length);
        QByteArray bytes(data, static_cast<qsizetype>(length));
        std::free(data);
        return QVariant(bytes);
    }
    case PLIST_DATE: {
        int32_t seconds = 0;
        int32_t microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        static const QDateTime reference(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc());
        return QVariant(reference.addMSecs(qint64(seconds) * 1000 + microseconds / 1000));
    }
    case PLIST_ARRAY: {
        QVariantList list;
        list.reserve(plist_array_get_size(node));
        const bool complete = forEachItem(node, [&](plist_t item) {
            auto converted = toVariant(item, depth + 1);
            if (converted)
                list.append(std::move(*converted));
            return converted.has_value();
        });
        if (!complete)
            return std::nullopt;
        return QVariant(list);
    }
    case PLIST_DICT: {
        QVariantMap map;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        while (iter) {
            char *key = nullptr;
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, &key, &value);
            if (!key || !value) {
                std::free(key);
                break;
            }
            auto converted = toVariant(value, depth + 1);
            const QString name = QString::fromUtf8(key);
            std::free(key);
            if (!converted) {
                std::free(iter);
                return std::nullopt;
            }
            map.insert(name, std::move(*converted));
        }
        std::free(iter);
        return QVariant(map);
    }
    case PLIST_UID:
    case PLIST_NONE:
#ifdef HAULWISE_PLIST_SIGNED_INTEGERS
    case PLIST_NULL: // only the JSON reader makes one, and it is never used
#endif
        break;
    }
    return QVariant();
}

// Whether nothing below `node` is nested deeper than toVariant accepts; converts nothing.
bool nestingWithinLimit(plist_t node, int depth) {
    if (depth > maxDepth)
        return false;
    switch (plist_get_node_type(node)) {
    case PLIST_ARRAY:
        return forEachItem(node, [depth](plist_t item) { return nestingWithinLimit(item, depth + 1); });
    case PLIST_DICT: {
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        bool within = true;
        while (within && iter) {
            plist_t value = nullptr;
            plist_dict_next_item(node, iter, nullptr, &value);
            if (!value)
                break;
            within = nestingWithinLimit(value, depth + 1);
        }
        std::free(iter);
        return within;
    }
    default:
        return true;
    }
}

PlistPtr parse(QByteArrayView bytes) {
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<uint32_t>::max())
        return nullptr;
    if (!isSafeForGeneralParser(bytes))
        return nullptr;
    // Only the binary and XML forms are read, as every app's Info.plist is. Newer libraries would also
    // take OpenStep and JSON text when asked to guess the form, so what a file reads as would depend on
    // the library a build has; asking for the form by name keeps that the same everywhere.
    plist_t raw = nullptr;
    const auto size = static_cast<uint32_t>(bytes.size());
    if (bytes.startsWith("bplist00"))
        plist_from_bin(bytes.data(), size, &raw);
    else
        plist_from_xml(bytes.data(), size, &raw);
    return PlistPtr(raw);
}

} // namespace

std::optional<QVariant> parsePropertyList(QByteArrayView bytes) {
    const PlistPtr root = parse(bytes);
    if (!root)
        return std::nullopt;
    return toVariant(root.get(), 0);
}

std::optional<QVariantMap> parsePropertyListEntries(QByteArrayView bytes, const QStringList &keys) {
    // Nearly every Info.plist is in the everyday form the quick readers take, at a fraction of the cost
    // of building and freeing the general parser's tree; whatever they decline is decided below.
    if (auto quick =
            bytes.startsWith("bplist00") ? quickBinaryEntries(bytes, keys) : quickXmlEntries(bytes, keys))
        return quick;
    const PlistPtr root = parse(bytes);
    if (!root || plist_get_node_type(root.get()) != PLIST_DICT)
        return std::nullopt;
    QVariantMap entries;
    plist_dict_iter iter = nullptr;
    plist_dict_new_iter(root.get(), &iter);
    bool within = true;
    while (within && iter) {
        char *key = nullptr;
        plist_t value = nullptr;
        plist_dict_next_item(root.get(), iter, &key, &value);
        if (!key || !value) {
            std::free(key);
            break;
        }
        const QString name = QString::fromUtf8(key);
        std::free(key);
        // A later duplicate replaces an earlier one, as in the whole conversion.
        if (keys.contains(name)) {
            auto converted = toVariant(value, 1);
            within = converted.has_value();
            if (within)
                entries.insert(name, std::move(*converted));
        } else {
            within = nestingWithinLimit(value, 1);
        }
    }
    std::free(iter);
    if (!within)
        return std::nullopt;
    return entries;
}

} // namespace platform
