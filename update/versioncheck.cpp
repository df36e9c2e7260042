#include "update/versioncheck.h"

#include "base/appconstants.h"

#include <QStringList>
#include <QXmlStreamReader>

#include <array>

namespace {

bool attributeAt(const QXmlStreamAttributes& attributes, int position, const QString& name, const QString& value)
{
    return attributes.size() > position && attributes.at(position).name() == name
        && attributes.at(position).value() == value;
}

bool isAnnouncedVersion(const QXmlStreamReader& xml)
{
    return xml.name() == lf::kUpdateCurrentVersionElement
        && attributeAt(xml.attributes(), 0, lf::kUpdateVersionAttribute, lf::kUpdateVersionValue);
}

bool isInstallerLocation(const QXmlStreamReader& xml)
{
    return xml.name() == lf::kUpdateLocationElement
        && attributeAt(xml.attributes(), 0, lf::kUpdatePlatformAttribute, lf::kUpdatePlatformValue)
        && attributeAt(xml.attributes(), 1, lf::kUpdateVersionAttribute, lf::kUpdateVersionValue);
}

// Three parts packed into one number, 1000 per step. Computed in 64 bits so
// that a large major number cannot wrap around into an older-looking value.
qint64 versionValue(const QStringList& parts)
{
    static constexpr std::array<qint64, 3> weights { 1000000, 1000, 1 };
    qint64 value = 0;
    for (int i = 0; i < int(weights.size()) && i < parts.size(); ++i)
        value += parts.at(i).toInt() * weights.at(i); // not a number: 0
    return value;
}

} // namespace

lf::update::VersionFileContent lf::update::readVersionFile(const QByteArray& xml)
{
    VersionFileContent content;
    QXmlStreamReader reader(xml);
    while (!reader.atEnd() && !reader.hasError()) {
        if (reader.readNext() != QXmlStreamReader::StartElement)
            continue;
        QString* target = isAnnouncedVersion(reader) ? &content.version
            : isInstallerLocation(reader)            ? &content.location
                                                     : nullptr;
        if (!target)
            continue;
        // An element with children is an error that ends the walk; its
        // half-read text does not replace an earlier match.
        const QString text = reader.readElementText();
        if (!reader.hasError())
            *target = text.trimmed();
    }
    return content;
}

bool lf::update::isNewerVersion(const QString& announced, const QString& current)
{
    if (announced == current)
        return false;
    const QStringList announcedParts = announced.split(QLatin1Char('.'));
    const QStringList currentParts = current.split(QLatin1Char('.'));
    if (announcedParts.size() != currentParts.size())
        return false;
    return versionValue(announcedParts) > versionValue(currentParts);
}

QString lf::update::formatByteCount(double byte)
{
    static const std::array<const char*, 5> units { "Byte", "KB", "MB", "GB", "TB" };
    std::size_t unit = 0;
    // Larger values stay in the last unit, so the loop also ends for infinity.
    while (byte / 1024 > 1 && unit + 1 < units.size()) {
        byte /= 1024;
        ++unit;
    }
    return QStringLiteral("%1 %2").arg(byte, 0, 'f', 1).arg(QLatin1String(units.at(unit)));
}
