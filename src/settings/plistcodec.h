// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QVariantMap>

#include <optional>

// Reading and writing property lists as QVariant trees, over libplist.
//
// Node types map as: dict ↔ QVariantMap, array ↔ QVariantList, string ↔
// QString, integer → qlonglong (any integer QVariant is written as one),
// real ↔ double, boolean ↔ bool, data ↔ QByteArray, date ↔ QDateTime (UTC).
// UID nodes, and QVariant types with no property-list form, are dropped.
namespace PlistCodec {

// The root dictionary of an XML (or binary) property list; nothing when the
// bytes are not a property list or its root is not a dictionary. Numbers are
// read under the C numeric locale whatever the process locale is.
std::optional<QVariantMap> readDictionary(const QByteArray& bytes);

// The dictionary as an XML property list (declaration, DOCTYPE, version 1.0).
QByteArray writeXml(const QVariantMap& dictionary);

}  // namespace PlistCodec
