// SPDX-License-Identifier: GPL-3.0-or-later
// The server record's data half: construction, the dictionary form kept in
// the settings file, the locked text fields and the camera and microphone
// lists built from the server's decoded answers. The refresh half lives in
// camserver_refresh.cpp.

#include "camserver.h"

#include <QLocale>
#include <QMetaType>
#include <QTimer>  // the inline constructor destroys the timer member on unwinding
#include <QUuid>

#include <cmath>
#include <limits>
#include <utility>

#include "TXJsonValue.h"

namespace {

// ---- reading values of the dictionary form ----
//
// The settings file is written by us, but it is a file in the user's folder
// and may hold anything: every reader below accepts any QVariant and never
// fails, giving 0, false or an absent text for what it cannot use.

enum class Kind { Bool, Signed, Unsigned, Real, Text, Other };

Kind kindOf(const QVariant& v) {
    switch (v.typeId()) {
        case QMetaType::Bool:
            return Kind::Bool;
        case QMetaType::Int:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::Short:
        case QMetaType::Char:
        case QMetaType::SChar:
            return Kind::Signed;
        case QMetaType::UInt:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::UShort:
        case QMetaType::UChar:
            return Kind::Unsigned;
        case QMetaType::Double:
        case QMetaType::Float:
            return Kind::Real;
        case QMetaType::QString:
            return Kind::Text;
        default:
            return Kind::Other;
    }
}

// Truncates toward zero and saturates at the 64-bit range (NaN gives 0), so
// that no real value can make the conversion undefined.
std::int64_t realToInt64(double d) {
    if (std::isnan(d)) return 0;
    if (d >= 9223372036854775807.0) return std::numeric_limits<std::int64_t>::max();
    if (d <= -9223372036854775808.0) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(d);
}

// The leading integer of a text: optional blanks, an optional sign, decimal
// digits; saturated at the 32-bit range. No digits give 0.
std::int32_t leadingInt32(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r')) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
    std::int64_t magnitude = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i) {
        magnitude = magnitude * 10 + (s[i].unicode() - u'0');
        if (magnitude > 2147483648LL) magnitude = 2147483648LL;  // saturate, keep scanning
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(value);
}

// The value's integer value in 32 bits: a number keeps its low 32 bits (so
// 4294967295 reads -1), a text gives its leading integer, a boolean 0 or 1.
std::int32_t int32Value(const QVariant& v) {
    std::int64_t wide = 0;
    switch (kindOf(v)) {
        case Kind::Bool:
            return v.toBool() ? 1 : 0;
        case Kind::Signed:
            wide = v.toLongLong();
            break;
        case Kind::Unsigned:
            wide = static_cast<std::int64_t>(v.toULongLong());
            break;
        case Kind::Real:
            wide = realToInt64(v.toDouble());
            break;
        case Kind::Text:
            return leadingInt32(v.toString());
        case Kind::Other:
            return 0;
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(wide)));
}

// The usual boolean value of a text: optional blanks, an optional sign, any
// zeros, then Y, y, T, t or a digit 1-9 means true; anything else is false.
bool textBool(const QString& s) {
    qsizetype i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t' || s[i] == u'\n' || s[i] == u'\r')) ++i;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) ++i;
    while (i < s.size() && s[i] == u'0') ++i;
    if (i >= s.size()) return false;
    const QChar c = s[i];
    return c == u'Y' || c == u'y' || c == u'T' || c == u't' || (c >= u'1' && c <= u'9');
}

bool boolValue(const QVariant& v) {
    switch (kindOf(v)) {
        case Kind::Bool:
            return v.toBool();
        case Kind::Signed:
            return v.toLongLong() != 0;
        case Kind::Unsigned:
            return v.toULongLong() != 0;
        case Kind::Real:
            return v.toDouble() != 0.0;
        case Kind::Text:
            return textBool(v.toString());
        case Kind::Other:
            return false;
    }
    return false;
}

// A text field's value. A string is kept as it is; a number that stands where
// a text belongs (a hand-edited file) is kept as its decimal text, which is
// what a request would put into the URL; anything else is absent.
QString textValue(const QVariant& v) {
    switch (kindOf(v)) {
        case Kind::Text:
            return v.toString();
        case Kind::Bool:
            return v.toBool() ? QStringLiteral("1") : QStringLiteral("0");
        case Kind::Signed:
            return QString::number(v.toLongLong());
        case Kind::Unsigned:
            return QString::number(v.toULongLong());
        case Kind::Real:
            return QString::number(v.toDouble(), 'g', QLocale::FloatingPointShortest);
        case Kind::Other:
            return {};
    }
    return {};
}

QVariantList listValue(const QVariant& v) {
    if (v.typeId() == QMetaType::QVariantList) return v.toList();
    if (v.typeId() == QMetaType::QStringList) {
        QVariantList out;
        for (const QString& s : v.toStringList()) out.append(s);
        return out;
    }
    return {};
}

// ---- reading the server's list documents ----

// The string member under key as a QString; absent (null) when the member is
// missing or is not a string.
QString jsonText(const tx::JsonValue& object, std::string_view key) {
    const std::string* s = object.findString(key);
    if (!s) return {};
    QString out = QString::fromUtf8(s->data(), static_cast<qsizetype>(s->size()));
    if (out.isNull()) out = QStringLiteral("");  // present but empty is not absent
    return out;
}

// The string at object[outer][inner]; absent when either step is missing or
// of another type.
QString jsonPath(const tx::JsonValue& object, std::string_view outer, std::string_view inner) {
    const tx::JsonValue* o = object.find(outer);
    return o && o->isObject() ? jsonText(*o, inner) : QString();
}

void readPtz(PTZCameraView& camera, const tx::JsonValue& ptz) {
    if (!ptz.isObject()) return;  // a "ptz" of another type still marks the class
    camera.focusUri = jsonPath(ptz, "focus", "relative-uri");
    camera.menuActivateUri = jsonPath(ptz, "menu", "activate-uri");
    camera.menuHideUri = jsonPath(ptz, "menu", "hide-uri");
    camera.menuMoveUri = jsonPath(ptz, "menu", "move-uri");
    camera.menuShowUri = jsonPath(ptz, "menu", "show-uri");
    camera.panUri = jsonPath(ptz, "pan-tilt", "relative-uri");
    camera.presetsUri = jsonText(ptz, "presets-uri");
    camera.zoomUri = jsonPath(ptz, "zoom", "relative-uri");
}

}  // namespace

// ---- construction and the dictionary form ----

namespace {

QString freshServerId() {
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

}  // namespace

QString CamServer::serverIdFrom(const QVariant& value) {
    if (value.typeId() != QMetaType::QString) return {};
    const QUuid id = QUuid::fromString(value.toString().trimmed());
    return id.isNull() ? QString() : id.toString(QUuid::WithoutBraces);
}

std::shared_ptr<CamServer> CamServer::create() {
    auto server = std::make_shared<CamServer>(Token{});
    server->serverId_ = freshServerId();
    const QString empty = QStringLiteral("");
    server->name_ = server->host_ = server->port_ = empty;
    server->login_ = server->password_ = server->fps_ = empty;
    server->camOnPage = 4;
    return server;
}

std::shared_ptr<CamServer> CamServer::fromDictionary(const QVariantMap& dict) {
    // Starts from the empty record: absent texts, zeros and false.
    auto server = std::make_shared<CamServer>(Token{});
    for (auto it = dict.cbegin(); it != dict.cend(); ++it) {
        const QString& key = it.key();
        const QVariant& value = it.value();
        if (key == u"fps")
            server->fps_ = textValue(value);
        else if (key == u"name")
            server->name_ = textValue(value);
        else if (key == u"host")
            server->host_ = textValue(value);
        else if (key == u"port")
            server->port_ = textValue(value);
        else if (key == u"login")
            server->login_ = textValue(value);
        else if (key == u"password")
            server->password_ = textValue(value);
        else if (key == u"previewRegim")
            server->previewRegim = int32Value(value);
        else if (key == u"isSelected")
            server->isSelected = boolValue(value);
        else if (key == u"oldProtocol")
            server->oldProtocol = boolValue(value);
        else if (key == u"camOnPage")
            server->camOnPage = int32Value(value);  // 32 bits, widened with its sign
        else if (key == u"keyringId" && value.typeId() == QMetaType::QString)
            server->keyringId = value.toString();
        else if (key == u"serverId")
            server->serverId_ = serverIdFrom(value);
    }
    // A hand-made entry, or one written before records had an identity.
    if (server->serverId_.isNull()) server->serverId_ = freshServerId();
    // An entry written while its password was in the keyring: the empty
    // "password" stands for the keyring's entry, not for an empty password.
    if (!server->keyringId.isEmpty() && server->password_.isEmpty())
        server->passwordInKeyring = true;
    // Any non-empty entry carries a names list, empty when the key is missing.
    if (!dict.isEmpty())
        server->sortCamerasNames = listValue(dict.value(QStringLiteral("camerasNames")));
    return server;
}

QVariantMap CamServer::toDictionary() const {
    QVariantMap dict;
    {
        std::lock_guard lock(textLock_);
        // An absent text (only a hand-made entry can lack one) is left out, so
        // that it is absent again when read back.
        const std::pair<const char16_t*, const QString*> texts[] = {
            {u"fps", &fps_},   {u"name", &name_},   {u"host", &host_},
            {u"port", &port_}, {u"login", &login_}, {u"password", &password_},
        };
        for (const auto& [key, value] : texts)
            if (!value->isNull()) dict.insert(QString::fromUtf16(key), *value);
        // The keyring holds it, or a password that could not be read
        // stands in for it: the key stays, with an empty string.
        if (passwordInKeyring || passwordUnknown)
            dict.insert(QStringLiteral("password"), QStringLiteral(""));
    }
    if (!keyringId.isEmpty()) dict.insert(QStringLiteral("keyringId"), keyringId);
    dict.insert(QStringLiteral("serverId"), serverId_);
    dict.insert(QStringLiteral("previewRegim"), static_cast<int>(previewRegim));
    dict.insert(QStringLiteral("isSelected"), isSelected);
    dict.insert(QStringLiteral("oldProtocol"), oldProtocol);
    dict.insert(QStringLiteral("camOnPage"), static_cast<qlonglong>(camOnPage));
    if (sortCamerasNames) dict.insert(QStringLiteral("camerasNames"), *sortCamerasNames);
    return dict;
}

std::int32_t CamServer::int32Value(const QVariant& value) {
    return ::int32Value(value);
}

// ---- text fields ----

namespace {

QString lockedRead(std::mutex& lock, const QString& field) {
    std::lock_guard guard(lock);
    return field;
}

void lockedWrite(std::mutex& lock, QString& field, const QString& value) {
    std::lock_guard guard(lock);
    field = value;
}

}  // namespace

QString CamServer::name() const {
    return lockedRead(textLock_, name_);
}
QString CamServer::host() const {
    return lockedRead(textLock_, host_);
}
QString CamServer::port() const {
    return lockedRead(textLock_, port_);
}
QString CamServer::login() const {
    return lockedRead(textLock_, login_);
}
QString CamServer::password() const {
    return lockedRead(textLock_, password_);
}
QString CamServer::fps() const {
    return lockedRead(textLock_, fps_);
}
void CamServer::setName(const QString& v) {
    lockedWrite(textLock_, name_, v);
}
void CamServer::setHost(const QString& v) {
    lockedWrite(textLock_, host_, v);
}
void CamServer::setPort(const QString& v) {
    lockedWrite(textLock_, port_, v);
}
void CamServer::setLogin(const QString& v) {
    lockedWrite(textLock_, login_, v);
}
void CamServer::setPassword(const QString& v) {
    bool changed = false;
    {
        std::lock_guard guard(textLock_);
        changed = password_ != v;
        password_ = v;
    }
    if (changed) passwordInKeyring = false;
    passwordUnknown = false;
    passwordPending_.store(false);
}
bool CamServer::resolvePassword(const QString& password) {
    if (!passwordPending_.load()) return false;
    lockedWrite(textLock_, password_, password);
    passwordPending_.store(false);
    return true;
}
void CamServer::setFps(const QString& v) {
    lockedWrite(textLock_, fps_, v);
}

// ---- camera and microphone lists ----
//
// A list is built completely, then published by swapping one pointer under
// listLock_; readers copy the pointer under the same lock and then use their
// snapshot without it. A reader thus sees the old list or the new one, whole,
// and a snapshot keeps its records alive while the reader holds it.

bool CamServer::setCameras(const tx::JsonValue& list) {
    if (!list.isArray()) return false;
    auto records = std::make_shared<CameraList>();
    records->reserve(list.asArray().size());
    for (const tx::JsonValue& element : list.asArray()) {
        if (!element.isObject()) continue;  // not a camera description
        const QString name = jsonText(element, "name");
        std::shared_ptr<CameraView> camera;
        if (const tx::JsonValue* ptz = element.find("ptz")) {
            auto ptzCamera = std::make_shared<PTZCameraView>(name, this);
            readPtz(*ptzCamera, *ptz);
            camera = std::move(ptzCamera);
        } else {
            camera = std::make_shared<CameraView>(name, this);
        }
        camera->uri = jsonText(element, "uri");
        camera->imageUri = jsonText(element, "image-uri");
        camera->videoUri = jsonText(element, "video-uri");
        records->push_back(std::move(camera));
    }
    std::shared_ptr<const CameraList> old;
    {
        std::lock_guard lock(listLock_);
        old = std::exchange(cameras_, std::move(records));
    }
    return true;  // the old records, if nobody else holds them, go here, outside the lock
}

bool CamServer::setMicrophones(const tx::JsonValue& list) {
    if (!list.isArray()) return false;
    auto records = std::make_shared<MicrophoneList>();
    records->reserve(list.asArray().size());
    for (const tx::JsonValue& element : list.asArray()) {
        if (!element.isObject()) continue;
        auto microphone = std::make_shared<PhoneList>(jsonText(element, "name"), this);
        microphone->uri = jsonText(element, "uri");
        microphone->audioUri = jsonText(element, "audio-uri");
        microphone->cameraUri = jsonText(element, "camera-uri");
        records->push_back(std::move(microphone));
    }
    std::shared_ptr<const MicrophoneList> old;
    {
        std::lock_guard lock(listLock_);
        old = std::exchange(microphones_, std::move(records));
    }
    return true;
}

std::shared_ptr<PhoneList> CamServer::getMicrophone(const CameraView* camera) const {
    if (!camera || camera->uri.isNull()) return nullptr;
    const std::shared_ptr<const MicrophoneList> microphones = getMicrophones();
    if (!microphones) return nullptr;
    std::shared_ptr<PhoneList> found;
    // The whole list is walked: when several match, the last one wins.
    for (const auto& microphone : *microphones)
        if (!microphone->cameraUri.isNull() && microphone->cameraUri == camera->uri)
            found = microphone;
    return found;
}

std::shared_ptr<const CameraList> CamServer::getCameras() const {
    std::lock_guard lock(listLock_);
    return cameras_;
}

std::shared_ptr<const MicrophoneList> CamServer::getMicrophones() const {
    std::lock_guard lock(listLock_);
    return microphones_;
}
