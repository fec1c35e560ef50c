#pragma once

// Reads a run's JSON report with Qt's parser and checks it against the
// fields the README documents for report_version 1: each field present with
// its type, no field beyond them, and the statuses from their lists.
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

enum class EJsonType
{
    String,
    Integer,
    Number,
    Bool,
    Object,
    Array,
    StringOrNull,
    IntegerOrNull,
    ObjectOrNull,
    ArrayOrNull,
};

struct SJsonField
{
    const char* name;
    EJsonType type;
    // The texts a String field may hold; empty: any.
    std::vector<const char*> values = {};
};

inline bool HasType(const QJsonValue& value, EJsonType type)
{
    const bool integer = value.isDouble() && value.toDouble() == static_cast<double>(value.toInteger());
    switch (type)
    {
    case EJsonType::String: return value.isString();
    case EJsonType::Integer: return integer;
    case EJsonType::Number: return value.isDouble();
    case EJsonType::Bool: return value.isBool();
    case EJsonType::Object: return value.isObject();
    case EJsonType::Array: return value.isArray();
    case EJsonType::StringOrNull: return value.isString() || value.isNull();
    case EJsonType::IntegerOrNull: return integer || value.isNull();
    case EJsonType::ObjectOrNull: return value.isObject() || value.isNull();
    case EJsonType::ArrayOrNull: return value.isArray() || value.isNull();
    }
    return false;
}

inline ::testing::AssertionResult MatchesFields(const QJsonObject& object, const std::vector<SJsonField>& fields,
                                                const std::string& where)
{
    QStringList known;
    for (const SJsonField& field : fields)
    {
        known << QString::fromLatin1(field.name);
        const QJsonValue value = object.value(QLatin1String(field.name));
        if (value.isUndefined())
            return ::testing::AssertionFailure() << where << " lacks " << field.name;
        if (!HasType(value, field.type))
            return ::testing::AssertionFailure() << where << "." << field.name << " has the wrong type";
        if (!field.values.empty())
        {
            bool listed = false;
            for (const char* allowed : field.values)
                listed = listed || value.toString() == QLatin1String(allowed);
            if (!listed)
                return ::testing::AssertionFailure()
                       << where << "." << field.name << " is " << value.toString().toStdString();
        }
    }
    for (const QString& key : object.keys())
    {
        if (!known.contains(key))
            return ::testing::AssertionFailure() << where << " has the undocumented field " << key.toStdString();
    }
    return ::testing::AssertionSuccess();
}

inline const std::vector<SJsonField>& VerificationFields()
{
    static const std::vector<SJsonField> fields{
        {"result", EJsonType::String, {"identical", "differences", "unreadable"}},
        {"identical_rows", EJsonType::Integer},
        {"differing_rows", EJsonType::Integer},
        {"missing_rows", EJsonType::Integer},
        {"extra_rows", EJsonType::Integer},
        {"refused_rows", EJsonType::Integer},
        {"error", EJsonType::StringOrNull},
    };
    return fields;
}

// Parses text as a report and checks every part of it; report receives the
// parsed document.
inline ::testing::AssertionResult IsValidReport(const std::string& text, QJsonObject& report)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    if (document.isNull() || !document.isObject())
        return ::testing::AssertionFailure() << "no JSON object: " << error.errorString().toStdString() << "\n" << text;
    report = document.object();
    const std::vector<SJsonField> top{
        {"report_version", EJsonType::Integer}, {"program", EJsonType::String, {"Rowmover"}},
        {"program_version", EJsonType::String}, {"mode", EJsonType::String, {"copy", "check", "compare"}},
        {"started", EJsonType::String},         {"ended", EJsonType::String},
        {"source", EJsonType::Object},          {"destination", EJsonType::Object},
        {"options", EJsonType::Object},         {"tables", EJsonType::Array},
        {"exit_code", EJsonType::Integer},      {"logs", EJsonType::Object},
        {"messages", EJsonType::Array},
    };
    ::testing::AssertionResult result = MatchesFields(report, top, "report");
    if (!result)
        return result;
    if (report.value("report_version").toInt() != 1)
        return ::testing::AssertionFailure() << "report_version is not 1";
    for (const char* side : {"source", "destination"})
    {
        if (!(result = MatchesFields(report.value(QLatin1String(side)).toObject(),
                                     {{"database", EJsonType::String}, {"user", EJsonType::StringOrNull}}, side)))
            return result;
    }
    if (!(result = MatchesFields(report.value("options").toObject(),
                                 {{"tables", EJsonType::ArrayOrNull},
                                  {"exclude", EJsonType::Array},
                                  {"retry_failed", EJsonType::Bool},
                                  {"verify", EJsonType::Bool},
                                  {"source_charset", EJsonType::StringOrNull}},
                                 "options")))
        return result;
    if (!(result = MatchesFields(report.value("logs").toObject(),
                                 {{"run", EJsonType::StringOrNull},
                                  {"sql", EJsonType::StringOrNull},
                                  {"data_text", EJsonType::StringOrNull},
                                  {"failed_records", EJsonType::StringOrNull}},
                                 "logs")))
        return result;
    for (const QJsonValue& message : report.value("messages").toArray())
    {
        if (!message.isString())
            return ::testing::AssertionFailure() << "a message is no text";
    }
    const QString mode = report.value("mode").toString();
    for (const QJsonValue& value : report.value("tables").toArray())
    {
        if (!value.isObject())
            return ::testing::AssertionFailure() << "a table is no object";
        const QJsonObject table = value.toObject();
        const std::string where = "table " + table.value("name").toString().toStdString();
        if (mode == QLatin1String("copy"))
        {
            result = MatchesFields(
                table,
                {{"name", EJsonType::String},
                 {"status", EJsonType::String, {"copied", "failed", "skipped", "stopped", "empty_source"}},
                 {"rows_read", EJsonType::Integer},
                 {"rows_written", EJsonType::Integer},
                 {"rows_failed", EJsonType::Integer},
                 {"verification", EJsonType::ObjectOrNull},
                 {"seconds", EJsonType::Number},
                 {"error", EJsonType::StringOrNull}},
                where);
            if (result && table.value("verification").isObject())
                result = MatchesFields(table.value("verification").toObject(), VerificationFields(),
                                       where + ".verification");
        }
        else if (mode == QLatin1String("check"))
        {
            result = MatchesFields(table,
                                   {{"name", EJsonType::String},
                                    {"status", EJsonType::String, {"fine", "warnings", "fails"}},
                                    {"source_rows", EJsonType::Integer},
                                    {"estimated_seconds", EJsonType::Number},
                                    {"findings", EJsonType::Array}},
                                   where);
            for (const QJsonValue& finding : table.value("findings").toArray())
            {
                if (!result)
                    break;
                result = MatchesFields(finding.toObject(),
                                       {{"kind", EJsonType::String},
                                        {"severity", EJsonType::String, {"fine", "warnings", "fails"}},
                                        {"column", EJsonType::StringOrNull},
                                        {"rows", EJsonType::IntegerOrNull},
                                        {"detail", EJsonType::StringOrNull},
                                        {"text", EJsonType::String}},
                                       where + " finding");
            }
        }
        else
        {
            result = MatchesFields(table,
                                   {{"name", EJsonType::String},
                                    {"status", EJsonType::String, {"identical", "different", "unreadable"}},
                                    {"verification", EJsonType::Object}},
                                   where);
            if (result)
                result = MatchesFields(table.value("verification").toObject(), VerificationFields(),
                                       where + ".verification");
        }
        if (!result)
            return result;
    }
    return ::testing::AssertionSuccess();
}

// The report's tables by name: their status, or another field's text.
inline std::map<std::string, std::string> TableField(const QJsonObject& report, const char* field = "status")
{
    std::map<std::string, std::string> values;
    for (const QJsonValue& table : report.value("tables").toArray())
    {
        const QJsonValue value = table.toObject().value(QLatin1String(field));
        values[table.toObject().value("name").toString().toStdString()] =
            value.isString() ? value.toString().toStdString() : std::to_string(value.toInteger());
    }
    return values;
}
