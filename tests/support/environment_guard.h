#pragma once
// Sets (or unsets) an environment variable for the life of this object and puts back
// what was there before, so no test leaks its setting into the next.

#include <QByteArray>
#include <QtGlobal>
#include <optional>

namespace testing_support {

class EnvironmentGuard {
public:
    // No value unsets the variable.
    EnvironmentGuard(const char* name, const std::optional<QByteArray>& value) : name_(name)
    {
        if (qEnvironmentVariableIsSet(name)) previous_ = qgetenv(name);
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    ~EnvironmentGuard()
    {
        if (previous_)
            qputenv(name_, *previous_);
        else
            qunsetenv(name_);
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    const char* name_;
    std::optional<QByteArray> previous_;
};

}  // namespace testing_support
