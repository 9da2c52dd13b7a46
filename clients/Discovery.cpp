#include "clients/Discovery.h"

#include "clients/ClientNames.h"
#include "platform/Platform.h"

#include <exception>

namespace vantrel {

namespace {

struct Criterion {
    const char* text;
    std::uint32_t mask;
};
constexpr Criterion criteria[] = {
    {"Local List Only", platform::sv::TypeLocalListOnly},
    {"Workstation Only", platform::sv::TypeWorkstation},
    {"Server Only", platform::sv::TypeServer},
    {"All Systems", platform::sv::TypeAll},
    {"Domain Controllers", platform::sv::TypeDomainCtrl},
    {"Backup Domain Controllers", platform::sv::TypeDomainBakCtrl},
};

} // namespace

std::uint32_t CriteriaToServerType(const QString& criterion) {
    for (const auto& c : criteria)
        if (criterion == QLatin1String(c.text)) return c.mask;
    return 0;
}

QStringList ServerTypeCriteria() {
    QStringList texts;
    for (const auto& c : criteria)
        texts << QLatin1String(c.text);
    return texts;
}

namespace {
// The record's name as the browser gave it: the UTF-16 units up to the first NUL.
QString recordName(const std::u16string& name) {
    const auto end = name.find(u'\0');
    const auto length = end == std::u16string::npos ? name.size() : end;
    return QString::fromUtf16(name.data(), static_cast<qsizetype>(length));
}
} // namespace

int SearchNetwork(ClientNames& list, std::uint32_t mask, const FillProgress& progress) {
    progress.message(QStringLiteral("Searching Network...this may take a while"));
    if (!progress.turn()) return 0;

    platform::ServerEnumeration found;
    try {
        found = platform::network().NetServerEnum(mask);
    } catch (const std::exception&) {
        // A broken network layer is a failed enumeration: the list stays as it is, no message.
        return 0;
    }
    if (found.error != 0) return static_cast<int>(found.servers.size());

    progress.message(QStringLiteral("Populating list with clients found..."));
    const int read = static_cast<int>(found.servers.size());
    for (int i = 0; i < read; ++i) {
        if (!progress.entryTurn(i)) break;
        // The list holds at most MaxEntries names; whatever the browser returned beyond
        // that cannot be shown.
        if (!list.append(recordName(found.servers[static_cast<size_t>(i)].name))) {
            reportClientListFull("SearchNetwork()");
            break;
        }
    }
    return static_cast<int>(found.servers.size());
}

} // namespace vantrel
