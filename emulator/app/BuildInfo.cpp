#include "emulator/app/BuildInfo.h"

std::string UpdateHost()
{
    return KVL_UPDATE_HOST;
}

std::string UpdateIdentifier()
{
    return KVL_UPDATE_UID;
}

std::string SiteHost()
{
    return KVL_SITE_HOST;
}

std::optional<ProgramVersion> CompiledVersion()
{
#if defined(KVL_VERSION_MAJOR) && defined(KVL_VERSION_MINOR) && defined(KVL_VERSION_PATCH)
    return ProgramVersion{KVL_VERSION_MAJOR, KVL_VERSION_MINOR, KVL_VERSION_PATCH};
#else
    return std::nullopt;
#endif
}
