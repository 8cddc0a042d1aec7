// SPDX-License-Identifier: GPL-3.0-or-later
#include "plistcodec.h"

#include <QDateTime>
#include <QMetaType>
#include <QStringList>

#include <plist/plist.h>

#include <locale.h>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>

namespace {

// Property-list dates count seconds from 2001-01-01 00:00:00 UTC.
constexpr qint64 kPlistEpochMs = 978307200LL * 1000;

// Owns a libplist node tree.
struct NodeDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using Node = std::unique_ptr<void, NodeDeleter>;

// libplist parses reals with the process locale, so under a locale whose
// decimal separator is a comma <real>37.3</real> would read as 37. While an
// instance lives, this thread uses the C numeric locale.
class CNumericScope {
public:
    CNumericScope() {
        static const locale_t cNumeric =
            newlocale(LC_NUMERIC_MASK, "C", duplocale(LC_GLOBAL_LOCALE));
        if (cNumeric) previous_ = uselocale(cNumeric);
    }
    ~CNumericScope() {
        if (previous_) uselocale(previous_);
    }
    CNumericScope(const CNumericScope&) = delete;
    CNumericScope& operator=(const CNumericScope&) = delete;

private:
    locale_t previous_ = nullptr;
};

QString takeString(char* s) {
    QString out = QString::fromUtf8(s ? s : "");
    std::free(s);
    if (out.isNull()) out = QStringLiteral("");  // a present empty string is not absent
    return out;
}

std::optional<QVariant> toVariant(plist_t node) {
    switch (plist_get_node_type(node)) {
        case PLIST_BOOLEAN: {
            uint8_t b = 0;
            plist_get_bool_val(node, &b);
            return QVariant(b != 0);
        }
        case PLIST_UINT: {
            // libplist keeps every integer in 64 unsigned bits and writes the
            // values above 2^63 as negative numbers: read them back signed.
            uint64_t u = 0;
            plist_get_uint_val(node, &u);
            return QVariant(static_cast<qlonglong>(u));
        }
        case PLIST_REAL: {
            double d = 0;
            plist_get_real_val(node, &d);
            return QVariant(d);
        }
        case PLIST_STRING: {
            // A binary property list may hold a string with a NUL inside;
            // libplist's copying getter stops the process on one. Read it in
            // place, up to the first NUL, which is as much as a string node
            // can be written back with.
            uint64_t length = 0;
            const char* s = plist_get_string_ptr(node, &length);
            QString out =
                s ? QString::fromUtf8(s, static_cast<qsizetype>(strnlen(s, length))) : QString();
            if (out.isNull()) out = QStringLiteral("");  // present but empty is not absent
            return QVariant(out);
        }
        case PLIST_ARRAY: {
            QVariantList list;
            const uint32_t n = plist_array_get_size(node);
            for (uint32_t i = 0; i < n; ++i)
                if (auto v = toVariant(plist_array_get_item(node, i))) list.append(*v);
            return QVariant(list);
        }
        case PLIST_DICT: {
            QVariantMap map;
            plist_dict_iter it = nullptr;
            plist_dict_new_iter(node, &it);
            for (;;) {
                char* key = nullptr;
                plist_t value = nullptr;
                plist_dict_next_item(node, it, &key, &value);
                if (!value) {
                    std::free(key);
                    break;
                }
                const QString k = takeString(key);
                if (auto v = toVariant(value)) map.insert(k, *v);
            }
            std::free(it);
            return QVariant(map);
        }
        case PLIST_DATA: {
            char* bytes = nullptr;
            uint64_t length = 0;
            plist_get_data_val(node, &bytes, &length);
            QByteArray data(bytes, static_cast<qsizetype>(bytes ? length : 0));
            std::free(bytes);
            return QVariant(data);
        }
        case PLIST_DATE: {
            int32_t sec = 0, usec = 0;
            plist_get_date_val(node, &sec, &usec);
            const qint64 ms = kPlistEpochMs + qint64(sec) * 1000 + usec / 1000;
            return QVariant(QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC));
        }
        default:
            return std::nullopt;  // keys, UIDs: nothing the settings use
    }
}

plist_t fromVariant(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Bool:
            return plist_new_bool(v.toBool() ? 1 : 0);
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::Char:
        case QMetaType::SChar:
            return plist_new_uint(static_cast<uint64_t>(v.toLongLong()));
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UShort:
        case QMetaType::UChar:
            return plist_new_uint(v.toULongLong());
        case QMetaType::Double:
        case QMetaType::Float:
            return plist_new_real(v.toDouble());
        case QMetaType::QString:
            return plist_new_string(v.toString().toUtf8().constData());
        case QMetaType::QByteArray: {
            const QByteArray data = v.toByteArray();
            return plist_new_data(data.constData(), static_cast<uint64_t>(data.size()));
        }
        case QMetaType::QDateTime: {
            const qint64 ms = v.toDateTime().toMSecsSinceEpoch() - kPlistEpochMs;
            const qint64 sec = ms / 1000;
            if (sec < std::numeric_limits<int32_t>::min() ||
                sec > std::numeric_limits<int32_t>::max())
                return nullptr;
            return plist_new_date(static_cast<int32_t>(sec),
                                  static_cast<int32_t>(ms % 1000) * 1000);
        }
        case QMetaType::QStringList:
        case QMetaType::QVariantList: {
            plist_t array = plist_new_array();
            for (const QVariant& item : v.toList())
                if (plist_t node = fromVariant(item)) plist_array_append_item(array, node);
            return array;
        }
        case QMetaType::QVariantMap: {
            const QVariantMap map = v.toMap();
            plist_t dict = plist_new_dict();
            for (auto it = map.cbegin(); it != map.cend(); ++it)
                if (plist_t node = fromVariant(it.value()))
                    plist_dict_set_item(dict, it.key().toUtf8().constData(), node);
            return dict;
        }
        default:
            return nullptr;
    }
}

}  // namespace

namespace PlistCodec {

std::optional<QVariantMap> readDictionary(const QByteArray& bytes) {
    if (bytes.isEmpty() || bytes.size() > std::numeric_limits<uint32_t>::max()) return std::nullopt;
    plist_t raw = nullptr;
    {
        CNumericScope cLocale;
        plist_from_memory(bytes.constData(), static_cast<uint32_t>(bytes.size()), &raw);
        // A binary list's keys may hold a NUL, and libplist stops the process
        // when asked for such a key. Its XML form cannot hold one, so the
        // binary list is read through that form.
        if (raw && plist_is_binary(bytes.constData(), static_cast<uint32_t>(bytes.size()))) {
            Node binary(raw);
            raw = nullptr;
            char* xml = nullptr;
            uint32_t length = 0;
            plist_to_xml(binary.get(), &xml, &length);
            if (xml) plist_from_xml(xml, length, &raw);
            std::free(xml);
        }
    }
    Node root(raw);
    if (!root || plist_get_node_type(raw) != PLIST_DICT) return std::nullopt;
    return toVariant(raw)->toMap();
}

QByteArray writeXml(const QVariantMap& dictionary) {
    Node root(fromVariant(QVariant(dictionary)));
    char* xml = nullptr;
    uint32_t length = 0;
    {
        CNumericScope cLocale;
        plist_to_xml(root.get(), &xml, &length);
    }
    QByteArray out(xml, static_cast<qsizetype>(xml ? length : 0));
    plist_to_xml_free(xml);
    return out;
}

}  // namespace PlistCodec
