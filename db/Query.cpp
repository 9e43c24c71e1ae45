#include "db/Query.h"

#include "db/Connection.h"
#include "db/FbApi.h"

#include <cstring>

namespace db {

using namespace Firebird;

namespace {

ISC_DATE encodeDate(const QDate& d) {
    return fb::util()->encodeDate(unsigned(d.year()), unsigned(d.month()), unsigned(d.day()));
}

ISC_TIME encodeTime(const QTime& t) {
    return fb::util()->encodeTime(unsigned(t.hour()), unsigned(t.minute()), unsigned(t.second()),
                                  unsigned(t.msec()) * 10);
}

unsigned roundUpText(qsizetype bytes) {
    unsigned length = 64;
    while (length < unsigned(bytes))
        length *= 2;
    return length;
}

} // namespace

// The input message: metadata and buffer for the types of the values bound last. Kept
// while the next row's values have the same types, so a per-row delete builds it once.
struct Query::Input {
    std::vector<ColumnType> signature;
    IMessageMetadata* metadata = nullptr;
    std::vector<unsigned> offsets;
    std::vector<unsigned> nullOffsets;
    std::vector<unsigned char> buffer;

    ~Input() {
        if (metadata)
            metadata->release();
    }
};

QString convertNamedParameters(const QString& text, QStringList* names) {
    QString out;
    out.reserve(text.size());
    names->clear();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c == u'\'' || c == u'"') {
            const qsizetype end = text.indexOf(c, i + 1);
            const qsizetype stop = end < 0 ? n : end + 1;
            out += QStringView(text).mid(i, stop - i);
            i = stop - 1;
        } else if (c == u'-' && i + 1 < n && text.at(i + 1) == u'-') {
            const qsizetype end = text.indexOf(u'\n', i);
            const qsizetype stop = end < 0 ? n : end;
            out += QStringView(text).mid(i, stop - i);
            i = stop - 1;
        } else if (c == u'/' && i + 1 < n && text.at(i + 1) == u'*') {
            const qsizetype end = text.indexOf(QStringLiteral("*/"), i + 2);
            const qsizetype stop = end < 0 ? n : end + 2;
            out += QStringView(text).mid(i, stop - i);
            i = stop - 1;
        } else if (c == u':' && i + 1 < n &&
                   (text.at(i + 1).isLetter() || text.at(i + 1) == u'_')) {
            qsizetype j = i + 1;
            while (j < n &&
                   (text.at(j).isLetterOrNumber() || text.at(j) == u'_' || text.at(j) == u'$'))
                ++j;
            names->append(text.mid(i + 1, j - i - 1));
            out += u'?';
            i = j - 1;
        } else {
            out += c;
        }
    }
    return out;
}

Query::Query(Connection& connection) : fConnection(connection) {
    fConnection.registerQuery(this);
}

Query::~Query() {
    releaseStatement();
    fConnection.unregisterQuery(this);
}

void Query::SetSQL(const QString& text) {
    if (text == fText && fStatement)
        return;
    releaseStatement();
    fText = text;
    fConverted = convertNamedParameters(text, &fParamNames).toUtf8();
    fParams.assign(fParamNames.size(), DbValue());
}

void Query::SetRawSQL(const QString& text, int paramCount) {
    if (text == fText && fStatement)
        return;
    releaseStatement();
    fText = text;
    fConverted = text.toUtf8();
    fParamNames.clear();
    for (int i = 0; i < paramCount; ++i)
        fParamNames.append(QString::number(i));
    fParams.assign(fParamNames.size(), DbValue());
}

void Query::SetParam(int index, const DbValue& value) {
    if (index < 0 || index >= int(fParams.size()))
        throw DbError(QStringLiteral("bind parameter"),
                      QStringLiteral("Parameter index %1 out of range").arg(index));
    fParams[size_t(index)] = value;
}

void Query::ClearParams() {
    fParams.assign(fParamNames.size(), DbValue());
}

void Query::Close() {
    ClearParams();
}

void Query::releaseStatement() {
    fInput.reset();
    if (fStatement) {
        fb::Status status;
        fStatement->free(&status);
        if (status.failed())
            fStatement->release();
        fStatement = nullptr;
    }
}

void Query::prepare() {
    if (fStatement)
        return;
    if (!fConnection.Connected())
        throw DbError(QStringLiteral("prepare"), QStringLiteral("The connection is not open"));
    fb::Status status;
    IStatement* stmt = fConnection.attachment()->prepare(&status, fConnection.transaction(), 0,
                                                         fConverted.constData(), SQL_DIALECT_V6,
                                                         IStatement::PREPARE_PREFETCH_METADATA);
    status.check("prepare");
    fStatement = stmt;
}

void Query::buildInput() {
    if (fParams.empty()) {
        fInput.reset();
        return;
    }
    // The types of this round of values.
    std::vector<ColumnType> signature;
    signature.reserve(fParams.size());
    IMessageMetadata* declared = nullptr;
    for (size_t i = 0; i < fParams.size(); ++i) {
        const DbValue& v = fParams[i];
        ColumnType t;
        switch (v.kind()) {
        case DbValue::Kind::Int32:
            t.type = SQL_LONG;
            t.length = 4;
            break;
        case DbValue::Kind::Int64:
            t.type = SQL_INT64;
            t.length = 8;
            break;
        case DbValue::Kind::Double:
            t.type = SQL_DOUBLE;
            t.length = 8;
            break;
        case DbValue::Kind::Text:
            t.type = SQL_VARYING;
            t.length = roundUpText(v.textValue().toUtf8().size());
            t.charSet = 4; // UTF8: Firebird transliterates to the column's character set
            break;
        case DbValue::Kind::Date:
            t.type = SQL_TYPE_DATE;
            t.length = 4;
            break;
        case DbValue::Kind::Timestamp:
            t.type = SQL_TIMESTAMP;
            t.length = 8;
            break;
        case DbValue::Kind::Column:
            t = v.columnType();
            break;
        case DbValue::Kind::Null: {
            // A null travels in the type the statement declares for that marker.
            fb::Status status;
            if (!declared) {
                declared = fStatement->getInputMetadata(&status);
                status.check("describe parameters");
            }
            t.type = declared->getType(&status, unsigned(i));
            t.subType = declared->getSubType(&status, unsigned(i));
            t.length = declared->getLength(&status, unsigned(i));
            t.scale = declared->getScale(&status, unsigned(i));
            t.charSet = declared->getCharSet(&status, unsigned(i));
            status.check("describe parameter");
            break;
        }
        }
        signature.push_back(t);
    }
    if (declared)
        declared->release();

    if (!fInput || fInput->signature != signature) {
        auto input = std::make_unique<Input>();
        fb::Status status;
        IMetadataBuilder* builder =
            fb::master()->getMetadataBuilder(&status, unsigned(signature.size()));
        status.check("metadata builder");
        std::unique_ptr<IMetadataBuilder, fb::Releaser<IMetadataBuilder>> guard(builder);
        for (unsigned i = 0; i < signature.size(); ++i) {
            const ColumnType& t = signature[i];
            builder->setType(&status, i, t.type | 1);
            builder->setSubType(&status, i, t.subType);
            builder->setLength(&status, i, t.length);
            builder->setScale(&status, i, t.scale);
            builder->setCharSet(&status, i, t.charSet);
        }
        status.check("describe input");
        input->metadata = builder->getMetadata(&status);
        status.check("build input metadata");
        const unsigned count = unsigned(signature.size());
        for (unsigned i = 0; i < count; ++i) {
            input->offsets.push_back(input->metadata->getOffset(&status, i));
            input->nullOffsets.push_back(input->metadata->getNullOffset(&status, i));
        }
        const unsigned length = input->metadata->getMessageLength(&status);
        status.check("input layout");
        input->buffer.assign(length, 0);
        input->signature = std::move(signature);
        fInput = std::move(input);
    }

    unsigned char* buffer = fInput->buffer.data();
    for (size_t i = 0; i < fParams.size(); ++i) {
        const DbValue& v = fParams[i];
        unsigned char* field = buffer + fInput->offsets[i];
        const ISC_SHORT nullFlag = v.isNull() ? -1 : 0;
        std::memcpy(buffer + fInput->nullOffsets[i], &nullFlag, sizeof nullFlag);
        switch (v.kind()) {
        case DbValue::Kind::Null:
            break;
        case DbValue::Kind::Int32: {
            const ISC_LONG x = ISC_LONG(v.integer());
            std::memcpy(field, &x, sizeof x);
            break;
        }
        case DbValue::Kind::Int64: {
            const ISC_INT64 x = v.integer();
            std::memcpy(field, &x, sizeof x);
            break;
        }
        case DbValue::Kind::Double: {
            const double x = v.realValue();
            std::memcpy(field, &x, sizeof x);
            break;
        }
        case DbValue::Kind::Text: {
            const QByteArray bytes = v.textValue().toUtf8();
            const ISC_USHORT len = ISC_USHORT(bytes.size());
            std::memcpy(field, &len, sizeof len);
            std::memcpy(field + sizeof len, bytes.constData(), size_t(bytes.size()));
            break;
        }
        case DbValue::Kind::Date: {
            const ISC_DATE d = encodeDate(v.dateTime().date());
            std::memcpy(field, &d, sizeof d);
            break;
        }
        case DbValue::Kind::Timestamp: {
            ISC_TIMESTAMP ts;
            ts.timestamp_date = encodeDate(v.dateTime().date());
            ts.timestamp_time = encodeTime(v.dateTime().time());
            std::memcpy(field, &ts, sizeof ts);
            break;
        }
        case DbValue::Kind::Column:
            std::memcpy(field, v.raw().constData(), size_t(v.raw().size()));
            break;
        }
    }
}

quint64 Query::ExecSQL() {
    prepare();
    buildInput();
    fb::Status status;
    IMessageMetadata* in = fInput ? fInput->metadata : nullptr;
    void* inBuffer = fInput ? fInput->buffer.data() : nullptr;
    fStatement->execute(&status, fConnection.transaction(), in, inBuffer, nullptr, nullptr);
    status.check("execute");
    const quint64 affected = fStatement->getAffectedRecords(&status);
    if (status.failed())
        return 0;
    return affected;
}

ResultSet Query::Open(int keepColumns) {
    ResultSet rs;
    fetchRows(rs, keepColumns, nullptr);
    return rs;
}

void Query::Fetch(const RowHandler& onRow, int keepColumns) {
    ResultSet row;
    fetchRows(row, keepColumns, &onRow);
}

void Query::fetchRows(ResultSet& rs, int keepColumns, const RowHandler* onRow) {
    prepare();
    buildInput();
    fb::Status status;
    IMessageMetadata* out = fStatement->getOutputMetadata(&status);
    status.check("describe columns");
    std::unique_ptr<IMessageMetadata, fb::Releaser<IMessageMetadata>> outGuard(out);

    const unsigned count = out->getCount(&status);
    status.check("describe columns");
    const unsigned kept = keepColumns < 0 ? count : qMin(count, unsigned(keepColumns));
    unsigned slotOffset = 0;
    for (unsigned i = 0; i < kept; ++i) {
        ResultSet::Column c;
        c.name = QString::fromUtf8(out->getAlias(&status, i));
        c.type.type = out->getType(&status, i) & ~1u;
        c.type.subType = out->getSubType(&status, i);
        c.type.length = out->getLength(&status, i);
        c.type.scale = out->getScale(&status, i);
        c.type.charSet = out->getCharSet(&status, i);
        c.sourceOffset = out->getOffset(&status, i);
        c.sourceNullOffset = out->getNullOffset(&status, i);
        status.check("describe column");
        c.slotOffset = slotOffset;
        c.slotSize = 1 + c.type.length + (c.type.type == SQL_VARYING ? 2 : 0);
        slotOffset += c.slotSize;
        rs.fColumns.push_back(c);
    }
    rs.fRowStride = slotOffset;
    const unsigned messageLength = out->getMessageLength(&status);
    status.check("describe columns");
    std::vector<unsigned char> message(messageLength);

    IMessageMetadata* in = fInput ? fInput->metadata : nullptr;
    void* inBuffer = fInput ? fInput->buffer.data() : nullptr;
    IResultSet* cursor =
        fStatement->openCursor(&status, fConnection.transaction(), in, inBuffer, out, 0);
    status.check("open cursor");
    std::unique_ptr<IResultSet, fb::Releaser<IResultSet>> cursorGuard(cursor);
    for (;;) {
        const int r = cursor->fetchNext(&status, message.data());
        status.check("fetch");
        if (r != IStatus::RESULT_OK)
            break;
        if (onRow)
            rs.fData.clear();
        const size_t base = rs.fData.size();
        rs.fData.resize(base + rs.fRowStride);
        char* row = rs.fData.data() + base;
        for (const auto& c : rs.fColumns) {
            ISC_SHORT nullFlag;
            std::memcpy(&nullFlag, message.data() + c.sourceNullOffset, sizeof nullFlag);
            row[c.slotOffset] = nullFlag ? 1 : 0;
            std::memcpy(row + c.slotOffset + 1, message.data() + c.sourceOffset, c.slotSize - 1);
        }
        if (onRow)
            (*onRow)(rs);
    }
    cursor->close(&status);
    if (!status.failed())
        static_cast<void>(cursorGuard.release()); // close() released the cursor
    status.check("close cursor");
}

} // namespace db
