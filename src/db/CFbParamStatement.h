#pragma once

#include "db/ArrayIo.h"
#include "db/CFbConnection.h"
#include "db/CMessageLayout.h"
#include "db/CXsqlda.h"
#include "db/FbStatus.h"

#include <memory>
#include <string>
#include <vector>

// A statement prepared once with "?" parameters and run many times in the
// connection's current transaction. Values are bound per execution: NULL by
// indicator, doubles as binary values, everything else as text that the
// server converts to the parameter's type, BLOBs through the BLOB functions.
// In process, the values travel as a message of the program's own layout,
// described to the engine only when the layout changes: the engine then
// skips re-reading the description of every parameter on every execution,
// which is most of its cost for a statement with hundreds of parameters.
class CFbParamStatement
{
  public:
    explicit CFbParamStatement(CFbConnection& connection);
    ~CFbParamStatement();
    CFbParamStatement(const CFbParamStatement&) = delete;
    CFbParamStatement& operator=(const CFbParamStatement&) = delete;

    bool Prepare(const std::string& sql);
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
    // A BLOB already written in the connection's transaction (CBlobWriter);
    // the server stores it in the row. Each BLOB serves one execution.
    void SetBlob(int i, const ISC_QUAD& id);
    // What a BLOB written for parameter i asks the server to filter: text,
    // unless binary, from the connection's UTF-8 into the character set of
    // a text BLOB column; empty for every other parameter.
    std::string BlobBpb(int i, bool binary) const;
    // An array of table.column, stored just before the execution.
    void SetArray(int i, const std::string& table, const std::string& column, std::shared_ptr<const SArraySlice> slice);
    // Runs the statement with the bound values; false with LastErrorMessage.
    bool Execute();
    const std::string& LastErrorMessage() const { return m_sLastError; }
    // Whose fault the last failure is: a row's own values, or one that ends
    // the table (a transaction that cannot start is never a row's).
    EFbFault LastFault() const { return m_eLastFault; }

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

    // Keeps the status's message and fault as the last failure; false.
    bool Fail();
    bool WritePendingBlobs();
    // The layout the bound values need; each text keeps the room it has had.
    std::vector<SParamFormat> WantedFormats() const;
    // Runs through a message of the program's layout; false in ran when the
    // values have no such layout (the descriptor path runs them instead).
    bool ExecuteMessage(bool& ran);
    void FillMessage();

    CFbConnection& m_connection;
    CFbStatus m_status;
    isc_stmt_handle m_hStatement = 0;
    CXsqlda m_params{1};
    std::vector<XSQLVAR> m_described;
    std::vector<SSlot> m_slots;
    CMessageLayout m_layout;
    bool m_bLayoutKnown = false; // the engine holds m_layout from an earlier execution
    std::vector<char> m_message;
    std::string m_sLastError;
    EFbFault m_eLastFault = EFbFault::None;
};
