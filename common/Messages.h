#pragma once

// Messages to the operator from code that has no widgets. The window installs its message
// dialogs here; until something is installed (and in the command-line front) the texts go
// to stderr.

#include <QString>
#include <memory>

// The answers of a yes/no question, as the message dialog returns them.
inline constexpr int idYes = 6;
inline constexpr int idNo = 7;

// Receives every message; one implementation is current for the whole process.
class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void error(const QString& message, const QString& caption) = 0;
    virtual void warning(const QString& message, const QString& caption) = 0;
    virtual void info(const QString& message, const QString& caption) = 0;
    // idYes or idNo.
    virtual int ask(const QString& question, const QString& caption) = 0;
};

// Makes sink current and returns the one it replaces; nullptr restores the stderr default,
// which answers every question with idNo since nobody is there to answer.
std::shared_ptr<MessageSink> setMessageSink(std::shared_ptr<MessageSink> sink);

void showError(const QString& message, const QString& caption = QString());
void showWarning(const QString& message, const QString& caption = QString());
void showInfo(const QString& message, const QString& caption = QString());
// idYes or idNo.
int askQuestion(const QString& question, const QString& caption = QString());
