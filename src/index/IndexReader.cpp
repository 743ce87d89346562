#include "index/IndexReader.h"

#include <span>
#include <variant>

#include "foundation/Archiver.h"
#include "index/IndexDatabase.h"
#include "index/IndexPaths.h"
#include "index/QuerySql.h"
#include "index/Statement.h"

namespace ossel {

namespace {

Ref<Dictionary> decodeAttributes(std::string_view bytes) {
    const Ref<Object> root =
        Decoder::unarchiveObjectWithData(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    const auto attributes = std::dynamic_pointer_cast<Dictionary>(root);
    return attributes ? attributes : Dictionary::make();
}

// The condition, narrowed to the paths below any of the directories when some are given.
QuerySql belowAny(QuerySql sql, const std::vector<std::string>& directories) {
    if (directories.empty()) return sql;
    sql.condition += " AND (";
    for (size_t i = 0; i < directories.size(); ++i) {
        PathRange range = pathsBelow(directories[i]);
        sql.condition += i > 0 ? " OR path >= ? AND path < ?" : "path >= ? AND path < ?";
        sql.parameters.emplace_back(QuerySql::Bytes{std::move(range.low)});
        sql.parameters.emplace_back(QuerySql::Bytes{std::move(range.high)});
    }
    sql.condition += ")";
    return sql;
}

// "SELECT <columns> FROM files WHERE <status> AND <condition> <rest>", bound to the
// condition's parameters, which it keeps for as long as the statement runs.
class FileSelection {
public:
    FileSelection(sqlite3* db, const std::string& columns, StoredStatus status, QuerySql sql, const char* rest = "")
        : sql_(std::move(sql)),
          statement_(db, "SELECT " + columns + " FROM files WHERE status = " +
                             std::to_string(static_cast<int>(status)) + " AND " + sql_.condition + rest) {
        int index = 1;
        for (const auto& parameter : sql_.parameters) {
            std::visit(
                [&](const auto& value) {
                    using T = std::decay_t<decltype(value)>;
                    if constexpr (std::is_same_v<T, std::string>) {
                        statement_.bindText(index, value);
                    } else if constexpr (std::is_same_v<T, QuerySql::Bytes>) {
                        statement_.bindBlob(index, value.bytes);
                    } else {
                        statement_.bind(index, value);
                    }
                },
                parameter);
            ++index;
        }
    }
    Statement& operator*() { return statement_; }
    Statement* operator->() { return &statement_; }

private:
    QuerySql sql_;
    Statement statement_;
};

}  // namespace

IndexReader::IndexReader(const std::string& path)
    : db_(std::make_unique<IndexDatabase>(path, IndexDatabase::Access::readOnly)) {}

IndexReader::~IndexReader() = default;

std::optional<StoredFile> IndexReader::lookup(const std::string& path) {
    Statement find(db_->handle(),
                   "SELECT status, retry_every_run, device, inode, size, modified, changed, cause, "
                   "(SELECT attributes FROM listings WHERE file = id) FROM files WHERE path = ?");
    find.bindBlob(1, path);
    if (!find.step()) return std::nullopt;
    StoredFile file;
    file.status = static_cast<StoredStatus>(find.columnInt(0));
    file.retryEveryRun = find.columnInt(1) != 0;
    file.identity = columnIdentity(find, 2);
    file.cause = std::string(find.columnBytes(7));
    if (file.status == StoredStatus::clip) file.attributes = decodeAttributes(find.columnBytes(8));
    return file;
}

void IndexReader::forEachMatch(const QueryNode& query, const std::vector<std::string>& onlyIn, bool withAttributes,
                               const MatchVisitor& visit) {
    const std::string columns = withAttributes ? "path, (SELECT attributes FROM listings WHERE file = id)" : "path";
    FileSelection select(db_->handle(), columns, StoredStatus::clip, belowAny(querySql(query, db_->handle()), onlyIn),
                         " ORDER BY path");
    while (select->step()) {
        const Ref<Dictionary> attributes = withAttributes ? decodeAttributes(select->columnBytes(1)) : nullptr;
        visit(select->columnBytes(0), attributes.get());
    }
}

int64_t IndexReader::countMatches(const QueryNode& query, const std::vector<std::string>& onlyIn) {
    FileSelection count(db_->handle(), "count(*)", StoredStatus::clip, belowAny(querySql(query, db_->handle()), onlyIn));
    return count->step() ? count->columnInt(0) : 0;
}

void IndexReader::forEachFailure(const std::vector<std::string>& onlyIn, const FailureVisitor& visit) {
    FileSelection select(db_->handle(), "path, cause", StoredStatus::failed, belowAny({"1", {}}, onlyIn),
                         " ORDER BY path");
    while (select->step()) visit(select->columnBytes(0), select->columnBytes(1));
}

}  // namespace ossel
