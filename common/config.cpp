#include "common/config.h"

namespace vel {

namespace {
AppConfig &instance()
{
    static AppConfig config;
    return config;
}
} // namespace

const AppConfig &Config() { return instance(); }
AppConfig &MutableConfig() { return instance(); }

} // namespace vel
