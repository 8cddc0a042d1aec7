// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QMetaType>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>
#include <QTranslator>

#include "camserver.h"
#include "plistcodec.h"
#include "settingsfile.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace {

const QString kFileName = QStringLiteral("settings.dat");
const QString kEnglish = QStringLiteral("English");
const QString kRussian = QStringLiteral("Русский");
const QString kChinese = QStringLiteral("简体中文");
const QRectF kDefaultFrame(630, 580, 507, 363);

// Far above any real list: a larger file is not a settings file.
constexpr qint64 kMaxFileSize = 64 * 1024 * 1024;

const QRegularExpression& numberPattern() {
    static const QRegularExpression re(
        QStringLiteral(R"([-+]?(?:\d+\.?\d*|\.\d+)(?:[eE][-+]?\d+)?)"));
    return re;
}

// A value read as a single-precision float: a number narrowed, a text's
// leading number, a boolean 0 or 1; anything else 0.
float floatValue(const QVariant& v) {
    double d = 0;
    switch (v.typeId()) {
        case QMetaType::QString: {
            const QString s = v.toString();
            qsizetype start = 0;
            while (start < s.size() && s[start].isSpace()) ++start;
            const auto m = numberPattern().match(s, start, QRegularExpression::NormalMatch,
                                                 QRegularExpression::AnchorAtOffsetMatchOption);
            if (m.hasMatch()) d = QLocale::c().toDouble(m.captured(0));
            break;
        }
        case QMetaType::Bool:
            return v.toBool() ? 1.0f : 0.0f;
        default: {
            bool ok = false;
            d = v.toDouble(&ok);
            if (!ok) d = 0;
        }
    }
    // Beyond the float range the conversion itself would be undefined.
    if (d > FLT_MAX) return std::numeric_limits<float>::infinity();
    if (d < -FLT_MAX) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

// The frame as {{x, y}, {w, h}}: whole values without a fraction, others with
// the fewest digits that read back exactly.
QString frameText(const QRectF& r) {
    const auto n = [](double v) {
        if (v == std::trunc(v) && std::fabs(v) < 9007199254740992.0)  // whole: 1000000, not 1e+06
            return QString::number(static_cast<qint64>(v));
        return QString::number(v, 'g', QLocale::FloatingPointShortest);
    };
    return QStringLiteral("{{%1, %2}, {%3, %4}}")
        .arg(n(r.x()), n(r.y()), n(r.width()), n(r.height()));
}

// The reverse of frameText, lenient as the platform's own rectangle reader:
// the first four numbers in order, missing ones 0. A number beyond the range
// of a double (1e999) also counts as 0: an infinite coordinate would be
// written back as "inf", which no reader takes for a number.
QRectF parseFrame(const QString& text) {
    double v[4] = {0, 0, 0, 0};
    int i = 0;
    for (auto it = numberPattern().globalMatch(text); it.hasNext() && i < 4;) {
        bool ok = false;
        const double d = QLocale::c().toDouble(it.next().captured(0), &ok);
        v[i++] = ok && std::isfinite(d) ? d : 0;
    }
    return QRectF(v[0], v[1], v[2], v[3]);
}

// The root dictionary of the file; nothing when there is no readable
// property-list dictionary at path (a folder, garbage, an empty file...).
std::optional<QVariantMap> readFile(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxFileSize) return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    return PlistCodec::readDictionary(file.readAll());
}

// A frame every window system can take: finite numbers of at most a
// million points.
bool isPlausibleFrame(const QRectF& r) {
    for (double v : {r.x(), r.y(), r.width(), r.height()})
        if (!std::isfinite(v) || std::fabs(v) > 1e6) return false;
    return true;
}

// The position keys present: canonical decimal numbers ("7", not "07").
qint64 highestPosition(const QVariantMap& root) {
    qint64 highest = -1;
    for (auto it = root.cbegin(); it != root.cend(); ++it) {
        bool ok = false;
        const uint n = it.key().toUInt(&ok);
        if (ok && n <= uint(std::numeric_limits<std::int32_t>::max()) &&
            QString::number(n) == it.key())
            highest = std::max<qint64>(highest, n);
    }
    return highest;
}

}  // namespace

Settings& Settings::sharedSettings() {
    // The compiler guards the initialisation of a local static with a lock:
    // concurrent first callers wait, and the store is made and loaded once.
    // It is deliberately never destroyed.
    static Settings* const shared = [] {
        auto* store = new Settings(defaultFolder(), systemLanguageCode());
        store->load();
        return store;
    }();
    return *shared;
}

std::unique_ptr<Settings> Settings::createInFolder(const QString& folder,
                                                   const QString& localeLanguage) {
    std::unique_ptr<Settings> store(new Settings(folder, localeLanguage));
    store->load();
    return store;
}

QString Settings::defaultFolder() {
#ifdef Q_OS_MACOS
    return QDir::homePath() + QStringLiteral("/Library/Application Support/Zorvan");
#else
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/Zorvan");
#endif
}

QString Settings::systemLanguageCode() {
    const QString first = QLocale::system().uiLanguages().value(0);
    return first.section(QRegularExpression(QStringLiteral("[-_]")), 0, 0);
}

Settings::Settings(const QString& folder, const QString& localeLanguage)
    : folder_(QDir::cleanPath(QDir(folder).absolutePath())), localeLanguage_(localeLanguage) {}

Settings::~Settings() {
    // A change waiting for its write is not lost with the store.
    if (savePending()) save();
}

std::shared_ptr<CamServer> Settings::getCurrent() const {
    for (const auto& server : servers_)
        if (server->isSelected) return server;
    return servers_.empty() ? nullptr : servers_.front();
}

void Settings::setCurrent(const std::shared_ptr<CamServer>& server) {
    for (const auto& s : servers_) s->isSelected = s == server;
}

void Settings::updateServer(const std::shared_ptr<CamServer>& server) {
    if (!server || std::find(servers_.begin(), servers_.end(), server) != servers_.end()) return;
    servers_.push_back(server);
    save();
}

void Settings::deleteServer(const std::shared_ptr<CamServer>& server) {
    std::erase(servers_, server);
    save();
}

QString Settings::pathToDataFile() const {
    SettingsFile::makeFolder(folder_);  // a failure shows at the save
    return folder_ + u'/' + kFileName;
}

void Settings::load() {
    if (loaded_) return;
    loaded_ = true;
    servers_.clear();
    const QString path = pathToDataFile();
    // Left by a process killed while saving; an hour is far beyond any save.
    SettingsFile::removeStaleTemporaries(path, 3600);
    const QFileInfo info(path);  // through a link, the link's target
    if (!info.exists()) {
        // First start: nothing is written until the first save. A link
        // that leads nowhere counts the same, and its saves fail, so it is
        // never replaced by a file of our own.
        loadDefaults();
        return;
    }
    if (!SettingsFile::mayReplace(path)) {
        // A link to /dev/null (a way to say "never save"), to a FIFO or a
        // folder, or a device made here: starts as a link that leads
        // nowhere, and is never read, moved aside or replaced.
        loadDefaults();
        return;
    }
    std::optional<QVariantMap> root = readFile(path);
    if (!root) {
        // Unreadable: start as from an empty dictionary, and keep the old
        // file unless it is an empty file with nothing to keep.
        keepUnreadableFile_ = !(info.isFile() && info.size() == 0);
        root.emplace();
    }
    loadFrom(*root);
}

void Settings::loadDefaults() {
    const QVariantMap demo{
        {QStringLiteral("name"), QStringLiteral("Demo Server")},
        {QStringLiteral("host"), QStringLiteral("127.0.0.1")},  // the bundled demo server
        {QStringLiteral("port"), QStringLiteral("1818")},
        {QStringLiteral("login"), QStringLiteral("admin")},
        {QStringLiteral("password"), QStringLiteral("")},
        {QStringLiteral("fps"), QStringLiteral("8")},
        {QStringLiteral("previewRegim"), 0},
        {QStringLiteral("isSelected"), true},
        {QStringLiteral("camOnPage"), 4},
    };
    servers_.push_back(CamServer::fromDictionary(demo));
    quality_ = 50;
    const bool russian =
        localeLanguage_ == u"ru" || localeLanguage_ == u"ua" || localeLanguage_ == u"kz";
    lang_ = russian ? kRussian : kEnglish;
    cameraIdx_ = 0;
    winPosition_ = kDefaultFrame;
}

void Settings::loadFrom(const QVariantMap& root) {
    // A count beyond the entries present (a damaged or hand-edited file)
    // must not make billions of empty records: stop after the highest
    // position key. Missing entries below it still give empty records.
    const std::int32_t count = CamServer::int32Value(root.value(QStringLiteral("server_count")));
    const qint64 limit = std::min<qint64>(count, highestPosition(root) + 1);
    // Two records must never share an identity (an entry copied by hand
    // would): the later one's id is blanked, and so it gets a fresh one. (The
    // key stays, so that the entry reads as the non-empty entry it was.)
    QSet<QString> ids;
    for (qint64 i = 0; i < limit; ++i) {
        const QVariant entry = root.value(QString::number(i));
        QVariantMap dict = entry.typeId() == QMetaType::QVariantMap ? entry.toMap() : QVariantMap();
        if (ids.contains(CamServer::serverIdFrom(dict.value(QStringLiteral("serverId")))))
            dict.insert(QStringLiteral("serverId"), QVariant());
        servers_.push_back(CamServer::fromDictionary(dict));
        ids.insert(servers_.back()->serverId());
    }

    const QVariant lang = root.value(QStringLiteral("lang"));
    lang_ = lang.typeId() == QMetaType::QString ? lang.toString() : kEnglish;
    quality_ = static_cast<double>(floatValue(root.value(QStringLiteral("quality"))));

    const QVariant frame = root.value(QStringLiteral("winPosition"));
    winPosition_ = kDefaultFrame;
    if (frame.typeId() == QMetaType::QString) {
        const QRectF stored = parseFrame(frame.toString());
        // Numbers no screen has (hand-edited, or huge, infinite, NaN) give
        // the default frame: the window system cannot take them.
        hasStoredFrame_ = isPlausibleFrame(stored);
        if (hasStoredFrame_) winPosition_ = stored;
    }

    const auto idx = root.constFind(QStringLiteral("cameraIdx"));
    cameraIdx_ = idx != root.cend() ? CamServer::int32Value(*idx) : 0;

    // Only texts name an entry; anything else in the list is dropped.
    const QVariant removals = root.value(QStringLiteral("keyringRemovals"));
    if (removals.typeId() == QMetaType::QVariantList) {
        for (const QVariant& id : removals.toList())
            if (id.typeId() == QMetaType::QString && !id.toString().isEmpty() &&
                !keyringRemovals_.contains(id.toString()))
                keyringRemovals_ << id.toString();
    }
}

QVariantMap Settings::toRoot() const {
    QVariantMap root;
    for (size_t i = 0; i < servers_.size(); ++i)
        root.insert(QString::number(i), servers_[i]->toDictionary());
    root.insert(QStringLiteral("server_count"), static_cast<int>(servers_.size()));
    root.insert(QStringLiteral("lang"), lang_.isNull() ? QStringLiteral("") : lang_);
    root.insert(QStringLiteral("quality"), static_cast<double>(floatValue(quality_)));
    root.insert(QStringLiteral("winPosition"), frameText(winPosition_));
    root.insert(QStringLiteral("cameraIdx"), static_cast<qlonglong>(cameraIdx_));
    if (!keyringRemovals_.isEmpty()) {
        QVariantList ids;
        for (const QString& id : keyringRemovals_) ids << id;
        root.insert(QStringLiteral("keyringRemovals"), ids);
    }
    return root;
}

bool Settings::save() {
    writes_.writing();
    const QByteArray xml = PlistCodec::writeXml(toRoot());
    // Through a symbolic link, the file at its end is the one replaced (and
    // an unreadable one kept aside beside it); the link stays.
    const std::optional<QString> path = SettingsFile::resolveLinks(pathToDataFile());
    if (!path) return false;
    if (keepUnreadableFile_) {
        if (!SettingsFile::moveAside(*path)) return false;
        keepUnreadableFile_ = false;
    }
    return SettingsFile::writeAtomically(*path, xml);
}

void Settings::saveSoon() {
    writes_.soon();
}

bool Settings::savePending() const {
    return writes_.pending();
}

QString Settings::getStringForKey(const QString& key) const {
    QString resource;
    if (lang_ == kRussian)
        resource = QStringLiteral(":/i18n/zorvan_ru.qm");
    else if (lang_ == kChinese)
        resource = QStringLiteral(":/i18n/zorvan_zh_CN.qm");
    else
        return key;  // English, or a name without a table
    auto [it, inserted] = translators_.try_emplace(resource);
    if (inserted) {
        auto translator = std::make_unique<QTranslator>();
        if (translator->load(resource)) it->second = std::move(translator);
    }
    if (!it->second) return key;
    const QString text = it->second->translate("Zorvan", key.toUtf8().constData());
    return text.isEmpty() ? key : text;
}
