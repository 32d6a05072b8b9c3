#pragma once
// What the tests share: temporary project folders, the current folder put
// back after each test, message boxes and help requests recorded instead of
// shown, and small file helpers.
#include "toolkit/Dialogs.h"

#include <QByteArray>
#include <QPointer>
#include <QTimer>
#include <QString>
#include <QTemporaryDir>
#include <QVector>
#include <functional>

class QWidget;

// A temporary folder that is also the current folder while the object lives.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    QString Path() const;   // ending in '/'
    QString File(const QString& name) const { return Path() + name; }
private:
    QTemporaryDir dir_;
    QString saved_;
};

// Records every message box; answers questions with the queued answers
// (Yes when none is queued).
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    QVector<TMessage> Messages;
    QVector<bool> Answers;
    QVector<TMsgResult> Replies;   // for questions, before Answers: Yes, No or Cancel
    std::function<void(const TMessage&)> OnMessage;
    QStringList Texts() const;
    void Clear() { Messages.clear(); }
};

class HelpRecorder {
public:
    HelpRecorder();
    ~HelpRecorder();
    QVector<int> Contexts;
};

QByteArray ReadAll(const QString& path);
void WriteAll(const QString& path, const QByteArray& bytes);

// Runs `f` on the event loop as soon as the next modal loop has started (a
// zero-delay timer), for driving a dialog's exec() from a test.
void WhenModal(std::function<void()> f);
// Waits for the active modal widget and runs f with it, polling for up to 5 s.
// Cancel() the returned watch when the window was expected not to open, so
// that it cannot reach into a later test.
class ModalWatch {
public:
    explicit ModalWatch(QTimer* t = nullptr) : timer_(t) {}
    void Cancel();
private:
    QPointer<QTimer> timer_;
};
ModalWatch OnNextModal(std::function<void(QWidget*)> f);

// The public picture corpus, an extra check beside the suite's own pictures:
// $GLIMMER_CORPUS when set, else ../shared/corpus beside the source folder;
// ending in '/'. CorpusMissing() says why it cannot be used (empty when it can).
QString CorpusPath();
QString CorpusMissing();
// GLIMMER_CORPUS_REQUIRED=1 (as in CI): a missing corpus fails instead of skipping.
bool CorpusRequired();

// In CI (GLIMMER_CI=1, or the corpus required) a check that would skip itself
// for want of a tool fails instead: a check nobody ran proves nothing.
bool InCi();

// Skips the test when the tools named are missing (fails it in CI).
#define GLIMMER_NEEDS_TOOLS(missing)                                        \
    do {                                                                    \
        const QString tools_ = (missing);                                   \
        if (!tools_.isEmpty()) {                                            \
            if (InCi())                                                     \
                FAIL() << "needs " << tools_.toStdString();                 \
            GTEST_SKIP() << "needs " << tools_.toStdString();               \
        }                                                                   \
    } while (0)

// Skips the test, giving the reason, when the corpus is not there; fails it
// when the corpus is required.
#define GLIMMER_NEEDS_CORPUS()                                              \
    do {                                                                    \
        const QString why_ = CorpusMissing();                               \
        if (!why_.isEmpty()) {                                              \
            if (CorpusRequired())                                           \
                FAIL() << why_.toStdString();                               \
            GTEST_SKIP() << why_.toStdString();                             \
        }                                                                   \
    } while (0)
