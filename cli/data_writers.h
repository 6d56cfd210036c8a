#pragma once
// The listing as data for scripts and spreadsheets: CSV (one row per listed file) and JSON (one
// object, folders in walk order). Both stream: nothing is kept beyond the folder at hand.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "listing/listing_writer.h"
#include "platform/date_time.h"

namespace tessory {

// Local time in ISO 8601 with its offset from UTC (seconds east): "2026-12-07T09:05:00+01:00";
// the offset shows seconds when it has them ("+00:19:32"), a year outside 0 to 9999 its sign
// ("-0044", "+10000").
std::string Iso8601(const DateTime& local, std::int64_t offset);
void AppendIso8601(std::string& out, const DateTime& local, std::int64_t offset);
// The same with the offset the time zone rules give the local time (the later one, when the
// local time occurs twice).
std::string Iso8601Local(const DateTime& local);
void AppendIso8601Local(std::string& out, const DateTime& local);
// A listed file's time, with the offset of its instant when the file system gave it.
void AppendModified(std::string& out, const ListedFile& file);
std::string ModifiedText(const ListedFile& file);  // "" when the time is unknown
std::optional<std::int64_t> ModifiedEpoch(const ListedFile& file);
// Seconds since 1970-01-01T00:00:00Z of an ISO 8601 text as Iso8601 writes it, or with "Z";
// nullopt when the text is not in that form.
std::optional<std::int64_t> ParseIso8601(std::string_view text);
// Seconds since the epoch of a local time, as the time zone rules give it.
std::int64_t LocalToEpoch(const DateTime& local);

// One CSV field (RFC 4180): quoted when it holds a comma, a quote, CR or LF; ill-formed UTF-8
// becomes U+FFFD. guardFormulas: a text that starts with "=", "+", "-", "@", a tab or CR gets a
// leading "'", so that a spreadsheet shows it instead of running it as a formula.
std::string CsvField(std::string_view text, bool guardFormulas = false);
// A JSON string literal with its quotes; ill-formed UTF-8 becomes U+FFFD.
std::string JsonString(std::string_view text);

// A name or path that is not well-formed UTF-8, in a form that keeps its bytes: every byte of an
// ill-formed part as "%HH", "%" as "%25", the rest as it is. Listings carry it beside the
// readable (U+FFFD) form, so that such names compare and sort as the walk sees them.
std::string RawNameText(std::string_view name);
// The bytes back; nullopt when a "%" is not followed by two hexadecimal digits.
std::optional<std::string> ParseRawNameText(std::string_view text);
// Appends ", \"key\": RAW" when the name is not well-formed UTF-8, nothing otherwise.
void AppendRawNameField(std::string& out, const char* key, std::string_view name);

// Folder,Name,Extension,Type,Size,Modified,Attributes, CR LF line ends.
class CsvListingWriter : public ListingWriter {
public:
    explicit CsvListingWriter(ListingOutput& output, bool guardFormulas = false)
        : output_(output), guardFormulas_(guardFormulas) {}
    bool Opening(const ListingSettings& settings, const std::string& startFolder) override;
    bool Folder(const ListedFolder& folder) override;
    bool Closing(const RunTotals& totals) override;

private:
    ListingOutput& output_;
    bool guardFormulas_;
    std::string buffer_;  // reused for every folder
};

// {"root": ..., "folders": [{"path", "files", "fileCount", "bytes"}...], "totals": {...}}
class JsonListingWriter : public ListingWriter {
public:
    explicit JsonListingWriter(ListingOutput& output) : output_(output) {}
    bool Opening(const ListingSettings& settings, const std::string& startFolder) override;
    bool Folder(const ListedFolder& folder) override;
    bool Closing(const RunTotals& totals) override;

private:
    ListingOutput& output_;
    std::string buffer_;
    bool first_ = true;
};

}  // namespace tessory
