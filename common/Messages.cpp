#include "common/Messages.h"

#include <cstdio>

namespace {

class StderrSink final : public MessageSink {
public:
    void error(const QString& message, const QString& caption) override {
        write("Error", message, caption);
    }
    void warning(const QString& message, const QString& caption) override {
        write("Warning", message, caption);
    }
    void info(const QString& message, const QString& caption) override {
        write("Information", message, caption);
    }
    int ask(const QString& question, const QString& caption) override {
        write("Question", question + QStringLiteral(" (answered No)"), caption);
        return idNo;
    }

private:
    static void write(const char* kind, const QString& message, const QString& caption) {
        const QString heading =
            caption.isEmpty() ? QString::fromLatin1(kind) : caption + QStringLiteral(" - ") + kind;
        const QByteArray text = (heading + QStringLiteral(": ") + message).toLocal8Bit();
        std::fprintf(stderr, "%s\n", text.constData());
        std::fflush(stderr);
    }
};

std::shared_ptr<MessageSink>& currentSink() {
    static std::shared_ptr<MessageSink> sink = std::make_shared<StderrSink>();
    return sink;
}

// Keeps the sink alive through the call even if the handler replaces it meanwhile.
std::shared_ptr<MessageSink> sink() {
    return currentSink();
}

} // namespace

std::shared_ptr<MessageSink> setMessageSink(std::shared_ptr<MessageSink> newSink) {
    auto previous = currentSink();
    currentSink() = newSink ? std::move(newSink) : std::make_shared<StderrSink>();
    return previous;
}

void showError(const QString& message, const QString& caption) {
    sink()->error(message, caption);
}

void showWarning(const QString& message, const QString& caption) {
    sink()->warning(message, caption);
}

void showInfo(const QString& message, const QString& caption) {
    sink()->info(message, caption);
}

int askQuestion(const QString& question, const QString& caption) {
    return sink()->ask(question, caption);
}
