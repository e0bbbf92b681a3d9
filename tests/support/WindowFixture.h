#pragma once

#include "support/FakePlatform.h"
#include "support/FakePrompt.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace vl {
class TFormMain;
}

namespace vl::test {

// Settings text with one desktop per caption: `general` goes into
// [General] after the page count and the active page, perPage[p] into
// [Page<p>] after its caption.
QByteArray desktopsSettings(const QStringList &captions, int active = 0, const QByteArray &general = {},
                            const QList<QByteArray> &perPage = {});

// What a test of the whole main window shares between its cases: a
// settings file in a private folder, a recording prompt and platform, and
// the window built on them. A test class derives from it beside QObject.
//
// The window keeps references to the prompt and platform it was given, so
// it must go first: form_ is declared after everything it may refer to, and
// a replacement prompt is kept here too (see usePrompt) rather than on a
// test's stack, where it would die before the window.
class WindowFixture {
protected:
    WindowFixture();
    ~WindowFixture();
    WindowFixture(const WindowFixture &) = delete;
    WindowFixture &operator=(const WindowFixture &) = delete;

    // For init(): closes the window, a fresh prompt, no settings file.
    void resetWindowFixture();

    // Writes `settings` to path_ and builds the window on them, without
    // FormCreate: for tests that adjust the window before it loads.
    TFormMain &build(const QByteArray &settings);
    // build() and FormCreate.
    TFormMain &start(const QByteArray &settings);

    // From here until the next reset the window is built on a prompt of type
    // P instead of prompt_; returns it.
    template <class P>
    P &usePrompt()
    {
        auto prompt = std::make_unique<P>();
        P &p = *prompt;
        form_.reset();
        otherPrompt_ = std::move(prompt);
        return p;
    }

    QTemporaryDir dir_;
    QString path_;
    FakePrompt prompt_;
    FakePlatform platform_;
    std::unique_ptr<Prompt> otherPrompt_;
    std::unique_ptr<TFormMain> form_; // last: destroyed first
};

} // namespace vl::test
