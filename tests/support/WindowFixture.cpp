#include "support/WindowFixture.h"

#include "support/TempDir.h"
#include "surface/FormMain.h"

#include <QFile>

namespace vl::test {

QByteArray desktopsSettings(const QStringList &captions, int active, const QByteArray &general,
                            const QList<QByteArray> &perPage)
{
    QByteArray text = "[General]\r\nPage_Count=" + QByteArray::number(captions.size()) + "\r\nActive_Page="
        + QByteArray::number(active) + "\r\n" + general + "\r\n";
    for (int p = 0; p < captions.size(); ++p)
        text += "[Page" + QByteArray::number(p) + "]\r\nDesktop_Caption=" + captions[p].toUtf8() + "\r\n"
            + perPage.value(p) + "\r\n";
    return text;
}

WindowFixture::WindowFixture()
    : path_(dir_.filePath(QStringLiteral("vorlane.ini")))
{
}

WindowFixture::~WindowFixture()
{
    form_.reset();
}

void WindowFixture::resetWindowFixture()
{
    form_.reset();
    otherPrompt_.reset();
    prompt_ = FakePrompt();
    path_ = dir_.filePath(QStringLiteral("vorlane.ini"));
    QFile::remove(path_);
}

TFormMain &WindowFixture::build(const QByteArray &settings)
{
    form_.reset();
    if (!writeAll(path_, settings))
        qFatal("cannot write the settings file %s", qPrintable(path_));
    form_ = std::make_unique<TFormMain>(otherPrompt_ ? *otherPrompt_ : prompt_, platform_, path_);
    return *form_;
}

TFormMain &WindowFixture::start(const QByteArray &settings)
{
    build(settings).FormCreate();
    return *form_;
}

} // namespace vl::test
