#include "app/AppOptions.h"

#include "cleaning/RunArguments.h"

#include <QFileInfo>

QString appUsage() {
    return QStringLiteral(
        "usage: dolvane [--drop FILE | --run FILE] [--tick ID]... [--all | --prior-to DATE]\n"
        "               [--answer-yes | --answer-no] [--no-compress] [--screenshot PNG]\n"
        "  --drop FILE       drop FILE on the window as the file manager would\n"
        "  --run FILE        drop FILE, press Start and end when the run is over\n"
        "                    (exit status 0 when it reached \"Done\", 1 otherwise)\n"
        "  --tick ID         click the category with that id in the tree\n"
        "  --all             choose \"Remove All Selected Data\"\n"
        "  --prior-to DATE   choose \"Remove Data Prior To:\" with DATE (day first as\n"
        "                    the date field takes it, or yyyy-mm-dd)\n"
        "  --answer-yes/-no  answer the backup question; every other message is closed\n"
        "                    at once and printed to stderr\n"
        "  --no-compress     leave out the compression step of the run\n"
        "  --screenshot PNG  save a picture of the window: after the drop and the ticks,\n"
        "                    or with --run half-way through the first table cleaned\n");
}

std::optional<AppOptions> parseAppArguments(const QStringList& arguments, QString* error) {
    AppOptions o;
    auto fail = [&](const QString& text) {
        *error = text;
        return std::nullopt;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        if (a == QLatin1String("--drop") || a == QLatin1String("--run")) {
            const auto v = value();
            if (!v || v->isEmpty())
                return fail(a + QStringLiteral(" needs a file"));
            if (!o.drop.isEmpty())
                return fail(QStringLiteral("one file only"));
            o.drop = QFileInfo(*v).absoluteFilePath();
            o.run = o.run || a == QLatin1String("--run");
        } else if (a == QLatin1String("--tick")) {
            const auto v = value();
            const auto id = v ? parseCategoryId(*v) : std::nullopt;
            if (!id)
                return fail(QStringLiteral("--tick needs a category id"));
            o.ticks.push_back(*id);
        } else if (a == QLatin1String("--all")) {
            if (o.priorTo)
                return fail(QStringLiteral("--all and --prior-to exclude each other"));
            o.priorTo = false;
        } else if (a == QLatin1String("--prior-to")) {
            const auto v = value();
            if (!v)
                return fail(QStringLiteral("--prior-to needs a date"));
            if (o.priorTo)
                return fail(QStringLiteral("--all and --prior-to exclude each other"));
            o.cutOff = parseCutOffDate(*v);
            if (!o.cutOff.isValid())
                return fail(QStringLiteral("Invalid Date: ") + *v);
            o.priorTo = true;
        } else if (a == QLatin1String("--answer-yes") || a == QLatin1String("--answer-no")) {
            if (o.answer)
                return fail(QStringLiteral("one answer only"));
            o.answer = a == QLatin1String("--answer-yes") ? 6 : 7;
        } else if (a == QLatin1String("--no-compress")) {
            o.compress = false;
        } else if (a == QLatin1String("--screenshot")) {
            const auto v = value();
            if (!v || v->isEmpty())
                return fail(QStringLiteral("--screenshot needs a file"));
            o.screenshot = QFileInfo(*v).absoluteFilePath();
        } else {
            return fail(QStringLiteral("unknown option ") + a);
        }
    }
    return o;
}
