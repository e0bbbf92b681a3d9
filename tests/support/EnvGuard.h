#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace vl::test {

// Sets an environment variable for the life of the object, then puts back
// what was there (or unsets it).
class EnvGuard {
public:
    EnvGuard(const char *name, const QByteArray &value) : name_(name), had_(qEnvironmentVariableIsSet(name))
    {
        old_ = qgetenv(name);
        qputenv(name, value);
    }
    ~EnvGuard()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    EnvGuard(const EnvGuard &) = delete;
    EnvGuard &operator=(const EnvGuard &) = delete;

private:
    const char *name_;
    bool had_;
    QByteArray old_;
};

} // namespace vl::test
