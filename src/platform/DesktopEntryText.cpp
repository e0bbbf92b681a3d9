#include "platform/DesktopEntryText.h"

#include <QRegularExpression>

namespace vl {

QString desktopExecArgument(const QString &argument)
{
    QString out;
    out.reserve(argument.size() + 2);
    out += QLatin1Char('"');
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        else if (c == QLatin1Char('%'))
            out += QLatin1Char('%');
        out += c;
    }
    out += QLatin1Char('"');
    return out;
}

QString desktopExecProgram(const QString &program)
{
    const QString quoted = desktopExecArgument(program);
    return program.contains(QLatin1Char('%')) ? QStringLiteral("env ") + quoted : quoted;
}

QString programOfExec(const QStringList &arguments)
{
    qsizetype i = 0;
    const bool env = !arguments.isEmpty()
                     && (arguments[0] == QLatin1String("env") || arguments[0].endsWith(QLatin1String("/env")));
    if (env) {
        // env's own settings (NAME=value) come before the program.
        static const QRegularExpression setting(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*="));
        i = 1;
        while (i < arguments.size() && setting.match(arguments[i]).hasMatch())
            ++i;
    }
    return i < arguments.size() ? arguments[i] : QString();
}

QString shellQuoted(const QString &argument)
{
    QString out = argument;
    out.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + out + QLatin1Char('\'');
}

QString desktopEntryEscaped(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == QLatin1Char('\\'))
            out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n'))
            out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t'))
            out += QLatin1String("\\t");
        else if (c == QLatin1Char('\r'))
            out += QLatin1String("\\r");
        else if (c == QLatin1Char(' ') && i == 0)
            out += QLatin1String("\\s");
        else
            out += c;
    }
    return out;
}

QString desktopEntryUnescaped(const QString &value)
{
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        const QChar next = value[++i];
        switch (next.unicode()) {
        case 's': out += QLatin1Char(' '); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case '\\': out += QLatin1Char('\\'); break;
        default: // not an escape of the format: both stay
            out += c;
            out += next;
            break;
        }
    }
    return out;
}

std::optional<QStringList> splitDesktopExec(const QString &exec)
{
    QStringList args;
    QString current;
    bool inArgument = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inArgument)
                args.append(current);
            current.clear();
            inArgument = false;
            continue;
        }
        inArgument = true;
        if (c != QLatin1Char('"')) {
            current += c;
            continue;
        }
        // A quoted stretch: a backslash keeps the next character.
        for (++i;; ++i) {
            if (i >= exec.size())
                return std::nullopt;
            const QChar q = exec[i];
            if (q == QLatin1Char('"'))
                break;
            if (q == QLatin1Char('\\') && i + 1 < exec.size())
                current += exec[++i];
            else
                current += q;
        }
    }
    if (inArgument)
        args.append(current);
    return args;
}

std::optional<QString> desktopEntryValue(const QString &text, const QString &group, const QString &key)
{
    const QString header = QLatin1Char('[') + group + QLatin1Char(']');
    bool inGroup = false;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        line = line.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == header;
            continue;
        }
        if (!inGroup || line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq < 0 || line.left(eq).trimmed() != key)
            continue;
        return desktopEntryUnescaped(line.mid(eq + 1).trimmed().toString());
    }
    return std::nullopt;
}

} // namespace vl
