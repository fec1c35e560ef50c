#pragma once

// Reads a run's JSON report with Qt's parser and checks it against the
// fields the README documents for report_version 1: every field present
// with its type, none beyond them, statuses from their lists.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

// fields: "name:type" separated by spaces; type s text, i integer, n number,
// b boolean, o object, a array, a trailing ? also allows null, and
// s(a|b) only the texts a and b.
inline ::testing::AssertionResult MatchesFields(const QJsonObject& object, const QString& fields,
                                                const std::string& where)
{
    QStringList known;
    for (const QString& field : fields.split(' ', Qt::SkipEmptyParts))
    {
        const QString name = field.section(':', 0, 0);
        QString type = field.section(':', 1);
        known << name;
        const QJsonValue value = object.value(name);
        const bool nullable = type.endsWith('?');
        const QStringList allowed = type.section('(', 1).chopped(type.contains('(') ? 1 : 0).split('|');
        type = type.left(1);
        const bool fits = (nullable && value.isNull()) || (type == "s" && value.isString()) ||
                          (type == "i" && value.isDouble() && value.toDouble() == double(value.toInteger())) ||
                          (type == "n" && value.isDouble()) || (type == "b" && value.isBool()) ||
                          (type == "o" && value.isObject()) || (type == "a" && value.isArray());
        if (!fits)
            return ::testing::AssertionFailure()
                   << where << "." << name.toStdString() << " lacks or is no " << type.toStdString();
        if (field.contains('(') && value.isString() && !allowed.contains(value.toString()))
            return ::testing::AssertionFailure()
                   << where << "." << name.toStdString() << " is " << value.toString().toStdString();
    }
    for (const QString& key : object.keys())
    {
        if (!known.contains(key))
            return ::testing::AssertionFailure() << where << " has the undocumented field " << key.toStdString();
    }
    return ::testing::AssertionSuccess();
}

// Parses text as a report and checks every part of it into report.
inline ::testing::AssertionResult IsValidReport(const std::string& text, QJsonObject& report)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (!document.isObject())
        return ::testing::AssertionFailure() << "no JSON object: " << error.errorString().toStdString() << "\n" << text;
    report = document.object();
    // The const access reads; the other one would add what is missing.
    const QJsonObject& r = report;
    const QString verification = "result:s(identical|differences|unreadable) identical_rows:i differing_rows:i "
                                 "missing_rows:i extra_rows:i refused_rows:i error:s?";
    const std::map<QString, QString> tableFields{
        {"copy", "name:s status:s(copied|failed|skipped|stopped|empty_source) rows_read:i rows_written:i "
                 "rows_failed:i verification:o? seconds:n error:s?"},
        {"check", "name:s status:s(fine|warnings|fails) source_rows:i estimated_seconds:n findings:a"},
        {"compare", "name:s status:s(identical|different|unreadable) verification:o"}};
    std::vector<std::tuple<QJsonObject, QString, std::string>> parts{
        {r,
         "report_version:i program:s(Rowmover) program_version:s mode:s(copy|check|compare) started:s ended:s "
         "source:o destination:o options:o tables:a committed_from_prepared:a unfinished_by_killed_run:a "
         "triggers_left_off:a killed_run_copies:a exit_code:i logs:o messages:a",
         "report"},
        {r["source"].toObject(), "database:s user:s?", "source"},
        {r["destination"].toObject(), "database:s user:s?", "destination"},
        {r["options"].toObject(), "tables:a? exclude:a retry_failed:b verify:b source_charset:s?", "options"},
        {r["logs"].toObject(), "run:s? sql:s? data_text:s? failed_records:s?", "logs"}};
    const QString mode = r["mode"].toString();
    for (const QJsonValue& value : r["tables"].toArray())
    {
        const QJsonObject table = value.toObject();
        const std::string where = "table " + table["name"].toString().toStdString();
        parts.emplace_back(table, tableFields.count(mode) ? tableFields.at(mode) : QString(), where);
        if (table["verification"].isObject())
            parts.emplace_back(table["verification"].toObject(), verification, where + ".verification");
        for (const QJsonValue& finding : table["findings"].toArray())
            parts.emplace_back(finding.toObject(),
                               "kind:s severity:s(fine|warnings|fails) column:s? rows:i? detail:s? text:s",
                               where + " finding");
    }
    for (const auto& [object, fields, where] : parts)
    {
        if (::testing::AssertionResult result = MatchesFields(object, fields, where); !result)
            return result;
    }
    for (const QJsonValue& left : r["triggers_left_off"].toArray())
    {
        if (::testing::AssertionResult result =
                MatchesFields(left.toObject(), "table:s triggers:a", "triggers_left_off");
            !result)
            return result;
    }
    for (const QJsonValue& copy : r["killed_run_copies"].toArray())
    {
        if (!copy.isString())
            return ::testing::AssertionFailure() << "a killed run's copy is no text";
    }
    for (const QJsonValue& message : r["messages"].toArray())
    {
        if (!message.isString())
            return ::testing::AssertionFailure() << "a message is no text";
    }
    if (r["report_version"].toInt() != 1)
        return ::testing::AssertionFailure() << "report_version is not 1";
    return ::testing::AssertionSuccess();
}

// The report's tables by name with one field's value as text (the status unless named).
inline std::map<std::string, std::string> TableField(const QJsonObject& report, const char* field = "status")
{
    std::map<std::string, std::string> values;
    for (const QJsonValue& table : std::as_const(report)["tables"].toArray())
    {
        const QJsonValue value = table.toObject().value(QLatin1String(field));
        values[table.toObject()["name"].toString().toStdString()] =
            value.isString() ? value.toString().toStdString() : std::to_string(value.toInteger());
    }
    return values;
}
