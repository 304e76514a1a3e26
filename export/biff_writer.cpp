#include "export/biff_writer.h"

#include <algorithm>
#include <array>
#include <cassert>
#include <string>

namespace tollenby {
namespace {

// Record types.
constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kCodePage = 0x0042;
constexpr std::uint16_t kWindow1 = 0x003D;
constexpr std::uint16_t kFont = 0x0031;
constexpr std::uint16_t kXf = 0x00E0;
constexpr std::uint16_t kStyle = 0x0293;
constexpr std::uint16_t kBoundSheet = 0x0085;
constexpr std::uint16_t kSst = 0x00FC;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kExtSst = 0x00FF;
constexpr std::uint16_t kDimensions = 0x0200;
constexpr std::uint16_t kLabelSst = 0x00FD;
constexpr std::uint16_t kBlank = 0x0201;
constexpr std::uint16_t kWindow2 = 0x023E;

// Streams shorter than this go into the compound file's mini stream, where Excel's own files never
// keep their workbook; zero bytes after the last EOF keep ours in regular sectors.
constexpr std::size_t kMinStreamSize = 4096;

// BIFF8 readers reject records whose data is longer than this.
constexpr std::size_t kMaxRecordData = 8224;
constexpr std::size_t kRecordHeaderSize = 4;

constexpr std::uint16_t kBofWorkbookGlobals = 0x0005;
constexpr std::uint16_t kBofWorksheet = 0x0010;
constexpr std::uint16_t kCodePageUtf16 = 1200;
constexpr std::uint16_t kTextFormat = 49;  // the built-in number format "@"
// Excel reserves XF 0-14 for the built-in styles and 15 for the default cell format; ours follows them.
constexpr std::uint16_t kTextCellXf = 16;

// String option flags.
constexpr std::uint8_t kCompressed = 0x00;  // one byte per unit, all units below 0x100
constexpr std::uint8_t kUncompressed = 0x01;

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

// The stream under construction, little-endian as BIFF wants it.
class StreamBuilder {
  public:
    std::size_t Size() const { return bytes_.size(); }
    void Reserve(std::size_t size) { bytes_.reserve(size); }

    void U8(unsigned value) { bytes_.push_back(static_cast<char>(value & 0xFF)); }
    void U16(unsigned value) {
        U8(value);
        U8(value >> 8);
    }
    void U32(std::uint32_t value) {
        U16(value & 0xFFFF);
        U16(value >> 16);
    }
    void Bytes(std::string_view bytes) { bytes_.append(bytes); }
    // UTF-16 units, two bytes each or (all below 0x100) one byte each.
    void Units(std::u16string_view units, bool wide) {
        std::size_t start = bytes_.size();
        bytes_.resize(start + units.size() * (wide ? 2 : 1));
        char* out = bytes_.data() + start;
        for (char16_t unit : units) {
            *out++ = static_cast<char>(unit & 0xFF);
            if (wide) *out++ = static_cast<char>(unit >> 8);
        }
    }
    void PatchU16(std::size_t pos, unsigned value) {
        bytes_[pos] = static_cast<char>(value & 0xFF);
        bytes_[pos + 1] = static_cast<char>((value >> 8) & 0xFF);
    }
    void PatchU32(std::size_t pos, std::uint32_t value) {
        PatchU16(pos, value & 0xFFFF);
        PatchU16(pos + 2, value >> 16);
    }

    // Starts a record; its length is filled in by EndRecord. Returns where the record starts.
    std::size_t BeginRecord(std::uint16_t type) {
        std::size_t start = Size();
        U16(type);
        U16(0);
        return start;
    }
    void EndRecord(std::size_t start) {
        std::size_t length = Size() - start - kRecordHeaderSize;
        assert(length <= kMaxRecordData);
        PatchU16(start + 2, static_cast<unsigned>(length));
    }

    ByteString Take() { return std::move(bytes_); }

  private:
    ByteString bytes_;
};

// A short string as FONT and BOUNDSHEET carry it: 8-bit count, flags, compressed characters.
void ShortAsciiString(StreamBuilder& out, std::string_view ascii) {
    out.U8(static_cast<unsigned>(ascii.size()));
    out.U8(kCompressed);
    out.Bytes(ascii);
}

void WriteBof(StreamBuilder& out, std::uint16_t substreamType) {
    std::size_t r = out.BeginRecord(kBof);
    out.U16(0x0600);  // BIFF8
    out.U16(substreamType);
    out.U16(0x0DBB);  // build
    out.U16(0x07CC);  // build year
    out.U32(0);       // file history flags
    out.U32(0x0006);  // lowest BIFF version that can read the file
    out.EndRecord(r);
}

void WriteEof(StreamBuilder& out) {
    out.EndRecord(out.BeginRecord(kEof));
}

void WriteCodePage(StreamBuilder& out) {
    std::size_t r = out.BeginRecord(kCodePage);
    out.U16(kCodePageUtf16);
    out.EndRecord(r);
}

void WriteWindow1(StreamBuilder& out) {
    std::size_t r = out.BeginRecord(kWindow1);
    out.U16(0x01E0);  // left, top, width, height in twips
    out.U16(0x005A);
    out.U16(0x3FCF);
    out.U16(0x2A4E);
    out.U16(0x0038);  // horizontal and vertical scroll bars, sheet tabs
    out.U16(0);       // active sheet
    out.U16(0);       // first visible tab
    out.U16(1);       // selected sheets
    out.U16(0x0258);  // tab bar width ratio
    out.EndRecord(r);
}

// Five plain 10-point fonts. Font index 4 does not exist in BIFF, so the fifth record is font 5.
void WriteFonts(StreamBuilder& out) {
    for (int i = 0; i < 5; ++i) {
        std::size_t r = out.BeginRecord(kFont);
        out.U16(200);     // height in twentieths of a point
        out.U16(0);       // no italic, strike-out, outline, shadow
        out.U16(0x7FFF);  // automatic colour
        out.U16(400);     // normal weight
        out.U16(0);       // no super- or subscript
        out.U8(0);        // no underline
        out.U8(0);        // family
        out.U8(0);        // character set
        out.U8(0);        // reserved
        ShortAsciiString(out, "Arial");
        out.EndRecord(r);
    }
}

void WriteXf(StreamBuilder& out, unsigned font, unsigned format, unsigned typeAndParent,
             unsigned usedAttributes) {
    std::size_t r = out.BeginRecord(kXf);
    out.U16(font);
    out.U16(format);
    out.U16(typeAndParent);
    out.U8(0x20);  // aligned to the bottom, no wrap
    out.U8(0);     // no rotation
    out.U8(0);     // no indent, no shrink, reading order by context
    out.U8(usedAttributes);
    out.U32(0);       // no borders
    out.U32(0);       // no border colours, no fill pattern
    out.U16(0x20C0);  // pattern colours: system foreground 0x40, background 0x41
    out.EndRecord(r);
}

void WriteXfs(StreamBuilder& out) {
    constexpr unsigned kStyleXf = 0xFFF5;         // locked, a style, no parent
    constexpr unsigned kCellXfOfNormal = 0x0001;  // locked, a cell format whose parent is XF 0
    constexpr unsigned kStyleAttributesIgnored = 0xF4;
    constexpr unsigned kNumberFormatUsed = 0x04;
    WriteXf(out, 0, 0, kStyleXf, 0);  // the Normal style
    for (unsigned i = 1; i <= 14; ++i) {
        unsigned font = i <= 2 ? 1 : i <= 4 ? 2 : 0;
        WriteXf(out, font, 0, kStyleXf, kStyleAttributesIgnored);
    }
    WriteXf(out, 0, 0, kCellXfOfNormal, 0);                            // 15: default cell format
    WriteXf(out, 0, kTextFormat, kCellXfOfNormal, kNumberFormatUsed);  // 16: text "@"
}

void WriteStyle(StreamBuilder& out) {
    std::size_t r = out.BeginRecord(kStyle);
    out.U16(0x8000);  // built-in style on XF 0
    out.U8(0);        // Normal
    out.U8(0xFF);     // no outline level
    out.EndRecord(r);
}

// Returns where the sheet's stream offset goes, to be filled in once it is known.
std::size_t WriteBoundSheet(StreamBuilder& out, std::size_t sheetIndex) {
    std::size_t r = out.BeginRecord(kBoundSheet);
    std::size_t offsetField = out.Size();
    out.U32(0);
    out.U8(0);  // visible
    out.U8(0);  // worksheet
    ShortAsciiString(out, "Sheet" + std::to_string(sheetIndex + 1));
    out.EndRecord(r);
    return offsetField;
}

// The shared-string table: SST, as many CONTINUE records as its strings need, and the EXTSST index.
//
// A string's header (character count and flags) never straddles two records; its characters may, but
// never inside a UTF-16 unit nor between the halves of a surrogate pair, and each record that carries
// on with a string's characters begins with that string's flags byte again.
class SstWriter {
  public:
    SstWriter(StreamBuilder& out, std::uint32_t totalRefs, std::uint32_t uniqueCount)
        : out_(out),
          bucketSize_(static_cast<std::uint16_t>(
              std::clamp<std::size_t>((std::size_t{uniqueCount} + 127) / 128, 8, 0xFFFF))) {
        record_ = out_.BeginRecord(kSst);
        out_.U32(totalRefs);
        out_.U32(uniqueCount);
    }

    void Add(std::u16string_view text) {
        bool wide = std::any_of(text.begin(), text.end(), [](char16_t u) { return u >= 0x100; });
        std::uint8_t flags = wide ? kUncompressed : kCompressed;
        std::size_t unitSize = wide ? 2 : 1;
        std::size_t firstPiece = text.empty() ? 0 : (IsHighSurrogate(text[0]) && text.size() > 1 ? 2 : 1);
        if (Room() < 3 + firstPiece * unitSize) StartContinue();
        if (added_ % bucketSize_ == 0) {
            buckets_.push_back(
                {static_cast<std::uint32_t>(out_.Size()), static_cast<std::uint16_t>(out_.Size() - record_)});
        }
        ++added_;
        out_.U16(static_cast<unsigned>(text.size()));
        out_.U8(flags);
        std::size_t pos = 0;
        while (pos < text.size()) {
            std::size_t take = std::min(Room() / unitSize, text.size() - pos);
            if (pos + take < text.size() && take > 0 && IsHighSurrogate(text[pos + take - 1])) --take;
            if (take == 0) {
                StartContinue();
                out_.U8(flags);
                continue;
            }
            out_.Units(text.substr(pos, take), wide);
            pos += take;
        }
    }

    // Ends the table and writes its index.
    void Finish() {
        out_.EndRecord(record_);
        std::size_t r = out_.BeginRecord(kExtSst);
        out_.U16(bucketSize_);
        for (const Bucket& b : buckets_) {
            out_.U32(b.streamOffset);
            out_.U16(b.recordOffset);
            out_.U16(0);
        }
        out_.EndRecord(r);
    }

  private:
    struct Bucket {
        std::uint32_t streamOffset;  // of the bucket's first string
        std::uint16_t recordOffset;  // of that string from the start of its record, header included
    };

    std::size_t Room() const { return kMaxRecordData - (out_.Size() - record_ - kRecordHeaderSize); }
    void StartContinue() {
        out_.EndRecord(record_);
        record_ = out_.BeginRecord(kContinue);
    }

    StreamBuilder& out_;
    std::uint16_t bucketSize_;
    std::size_t record_;
    std::size_t added_ = 0;
    std::vector<Bucket> buckets_;
};

void WriteDimensions(StreamBuilder& out, std::size_t rows, std::size_t columns) {
    // Last row and column are exclusive: one past the last used.
    std::size_t r = out.BeginRecord(kDimensions);
    out.U32(0);
    out.U32(static_cast<std::uint32_t>(rows));
    out.U16(0);
    out.U16(rows == 0 ? 0 : static_cast<unsigned>(columns));
    out.U16(0);
    out.EndRecord(r);
}

void WriteWindow2(StreamBuilder& out, bool active) {
    std::size_t r = out.BeginRecord(kWindow2);
    // Grid, headers, zeros, automatic grid colour, outline symbols; the active sheet is also selected
    // and shown.
    out.U16(active ? 0x06B6 : 0x00B6);
    out.U16(0);     // top row
    out.U16(0);     // left column
    out.U32(0x40);  // grid colour: automatic
    out.U16(0);     // page-break preview zoom: default
    out.U16(0);     // normal zoom: default
    out.U32(0);     // reserved
    out.EndRecord(r);
}

std::u16string_view CutToCellLimit(std::u16string_view text) {
    if (text.size() <= kBiffMaxTextUnits) return text;
    std::size_t length = kBiffMaxTextUnits;
    if (IsHighSurrogate(text[length - 1])) --length;
    return text.substr(0, length);
}

}  // namespace

BiffWorkbookWriter::BiffWorkbookWriter(std::size_t columnCount)
    : columnCount_(std::clamp<std::size_t>(columnCount, 1, kBiffMaxColumns)) {}

std::uint32_t BiffWorkbookWriter::InternString(const std::u16string& text) {
    if (auto found = stringIndex_.find(text); found != stringIndex_.end()) return found->second;
    auto it = stringIndex_.emplace(text, static_cast<std::uint32_t>(strings_.size())).first;
    strings_.push_back(&it->first);
    return it->second;
}

void BiffWorkbookWriter::StartSheet() {
    sheetRows_.push_back(0);
    rowCount_ = 0;
}

bool BiffWorkbookWriter::AddRow(std::span<const std::u16string> cells) {
    if (rowCount_ >= kBiffMaxRows) return false;
    for (std::size_t column = 0; column < columnCount_; ++column) {
        if (column < cells.size() && !cells[column].empty()) {
            const std::u16string& text = cells[column];
            cells_.push_back(text.size() <= kBiffMaxTextUnits
                                 ? InternString(text)
                                 : InternString(std::u16string(CutToCellLimit(text))));
            ++textCellCount_;
        } else {
            cells_.push_back(kBlankCell);
        }
    }
    ++rowCount_;
    ++sheetRows_.back();
    return true;
}

ByteString BiffWorkbookWriter::Finish() const {
    StreamBuilder out;
    std::size_t textBytes = 0;
    for (const std::u16string* s : strings_) textBytes += 3 + 2 * s->size();
    out.Reserve(1024 + textBytes + textBytes / kMaxRecordData * 5 + cells_.size() * 14);

    WriteBof(out, kBofWorkbookGlobals);
    WriteCodePage(out);
    WriteWindow1(out);
    WriteFonts(out);
    WriteXfs(out);
    WriteStyle(out);
    std::vector<std::size_t> sheetOffsetFields;
    for (std::size_t sheet = 0; sheet < sheetRows_.size(); ++sheet) {
        sheetOffsetFields.push_back(WriteBoundSheet(out, sheet));
    }
    SstWriter sst(out, static_cast<std::uint32_t>(textCellCount_),
                  static_cast<std::uint32_t>(strings_.size()));
    for (const std::u16string* s : strings_) sst.Add(*s);
    sst.Finish();
    WriteEof(out);

    std::size_t cell = 0;
    for (std::size_t sheet = 0; sheet < sheetRows_.size(); ++sheet) {
        out.PatchU32(sheetOffsetFields[sheet], static_cast<std::uint32_t>(out.Size()));
        WriteBof(out, kBofWorksheet);
        WriteDimensions(out, sheetRows_[sheet], columnCount_);
        const std::size_t end = cell + sheetRows_[sheet] * columnCount_;
        for (std::size_t i = 0; cell < end; ++cell, ++i) {
            bool blank = cells_[cell] == kBlankCell;
            std::size_t r = out.BeginRecord(blank ? kBlank : kLabelSst);
            out.U16(static_cast<unsigned>(i / columnCount_));
            out.U16(static_cast<unsigned>(i % columnCount_));
            out.U16(kTextCellXf);
            if (!blank) out.U32(cells_[cell]);
            out.EndRecord(r);
        }
        WriteWindow2(out, sheet == 0);
        WriteEof(out);
    }
    ByteString stream = out.Take();
    if (stream.size() < kMinStreamSize) stream.resize(kMinStreamSize, '\0');
    return stream;
}

}  // namespace tollenby
