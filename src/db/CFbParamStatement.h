#pragma once

#include "db/CFbConnection.h"
#include "db/ArrayIo.h"
#include "db/CXsqlda.h"
#include "db/FbStatus.h"

#include <memory>
#include <string>
#include <vector>

// A statement prepared once with "?" parameters and run many times in the
// connection's current transaction. Values are bound per execution: NULL by
// indicator, doubles as binary values, everything else as text that the
// server converts to the parameter's type, BLOBs through the BLOB functions.
class CFbParamStatement
{
public:
    explicit CFbParamStatement(CFbConnection& connection);
    ~CFbParamStatement();
    CFbParamStatement(const CFbParamStatement&) = delete;
    CFbParamStatement& operator=(const CFbParamStatement&) = delete;

    bool Prepare(const std::string& sql);
    int ParamCount() const { return static_cast<int>(m_described.size()); }
    // The type the server expects for parameter i (nullable bit cleared).
    int ParamType(int i) const { return m_described[static_cast<size_t>(i)].sqltype & ~1; }

    void SetNull(int i);
    void SetDouble(int i, double value);
    // A value in the client library's own binary layout of type sqlType
    // (SQL_LONG, SQL_TIMESTAMP, SQL_VARYING ...), converted by the server
    // without any text in between.
    void SetRaw(int i, int sqlType, int scale, int subType, const std::string& data);
    // Text (UTF-8) or, with binary, bytes that are not transliterated. A BLOB
    // parameter receives the bytes as its contents.
    void SetBytes(int i, const std::string& bytes, bool binary);
    // An array of table.column, stored just before the execution.
    void SetArray(int i, const std::string& table, const std::string& column, std::shared_ptr<const SArraySlice> slice);
    // Runs the statement with the bound values; false with LastErrorMessage.
    bool Execute();
    const std::string& LastErrorMessage() const { return m_sLastError; }

private:
    struct SSlot
    {
        std::string buffer; // the value as the parameter's data
        short indicator = 0;
        bool pendingBlob = false;
        bool binary = false;
        std::shared_ptr<const SArraySlice> array; // set while an array waits to be stored
        std::string arrayTable;
        std::string arrayColumn;
    };

    bool WritePendingBlobs();

    CFbConnection& m_connection;
    CFbStatus m_status;
    isc_stmt_handle m_hStatement = 0;
    CXsqlda m_params{1};
    std::vector<XSQLVAR> m_described;
    std::vector<SSlot> m_slots;
    std::string m_sLastError;
};
