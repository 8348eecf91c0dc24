// Reads arbitrary bytes as a list file the way the program does: as the default file at start-up and through Load
// over an existing list. Properties: a file is either read whole or not at all; a file that is not read is never
// lost (it is moved aside intact) and the rows stay as they were; a file that is read saves and reads back to the
// same items, and saving those again gives the same bytes.

#include "core/RowList.h"
#include "core/StrItem.h"

#include "FuzzSupport.h"
#include "tests/core/ListFileRig.h"
#include "tests/fakes/FakeFileSystem.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

using velmora::TRowList;
using velmora::TStrItem;
using velmora::TStrItemPtr;
using velmora::testing::FakeFileSystem;
using velmora::testing::ListFileRig;

const std::string kFolder = "/opt/velmora";
const std::string kDefault = kFolder + "/mouses.xml";
const std::string kAside = kDefault + ".unreadable";
const std::string kOther = "/home/user/other.xml";

/// One row as a value: the item's fields and the row's check box.
struct TRowValue {
    TStrItem item;
    bool checked = false;
    friend bool operator==(const TRowValue&, const TRowValue&) = default;
};

std::vector<TRowValue> RowValues(const TRowList& rows) {
    std::vector<TRowValue> values;
    for (auto row = rows.First(); row; row = rows.Next(*row)) {
        values.push_back({*rows.Item(*row), rows.Checked(*row)});
    }
    return values;
}

/// A fresh program's list; `openPath` answers one open dialog.
struct TProgram : ListFileRig<FakeFileSystem> {
    explicit TProgram(const std::string& openPath = {}) : ListFileRig(kFolder) {
        if (!openPath.empty()) {
            answers.AnswerOpen(openPath);
        }
    }
};

/// Saves the rows at exit, reads the saved file in a new program, and checks that the same rows come back and that
/// saving them again writes the same bytes.
void CheckRoundTrip(TProgram& program) {
    const std::vector<TRowValue> before = RowValues(program.rows);
    program.list.SaveList(false);
    const auto saved = program.fs.File(kDefault);
    FUZZ_CHECK(saved.has_value());

    TProgram again;
    again.fs.SetFile(kDefault, *saved);
    again.list.LoadList(false);
    FUZZ_CHECK(again.answers.Warnings().empty());
    FUZZ_CHECK(RowValues(again.rows) == before);
    again.list.SaveList(false);
    FUZZ_CHECK(again.fs.File(kDefault) == saved);
}

/// Start-up: the input is the default file.
bool CheckStartUp(const std::string& input) {
    TProgram program;
    program.fs.SetFile(kDefault, input);
    program.list.LoadList(false);
    FUZZ_CHECK(program.list.FileName() == kDefault);

    if (program.answers.Warnings().empty()) {
        FUZZ_CHECK(program.fs.File(kDefault) == input); // reading never writes
        FUZZ_CHECK(program.document->Root().ChildCount() == program.rows.Count());
        for (const TRowValue& row : RowValues(program.rows)) {
            FUZZ_CHECK(row.checked == row.item.FChecked);
        }
        CheckRoundTrip(program);
        return true;
    }
    // Not read: the list starts empty and the file is kept, byte for byte, beside the new one.
    FUZZ_CHECK(program.answers.Warnings().size() == 1);
    FUZZ_CHECK(program.rows.Count() == 0);
    FUZZ_CHECK(!program.fs.File(kDefault).has_value());
    FUZZ_CHECK(program.fs.File(kAside) == input);
    program.list.SaveList(false);
    FUZZ_CHECK(program.fs.File(kAside) == input);
    FUZZ_CHECK(program.fs.File(kDefault).has_value());
    return false;
}

/// Load with a dialog over a list of one row: all or nothing, and the verdict agrees with the start-up's.
void CheckLoadOverList(const std::string& input, bool readAtStartUp) {
    TProgram program(kOther);
    program.fs.SetFile(kDefault, R"(<list><item FStr="a2VlcA==" FHKCtrl="1" FHKChar="112" checked="True"/></list>)");
    program.list.LoadList(false);
    FUZZ_CHECK(program.rows.Count() == 1);
    const std::vector<TRowValue> before = RowValues(program.rows);
    const TStrItemPtr keptItem = program.rows.Item(0);

    program.fs.SetFile(kOther, input);
    program.list.LoadList(true);
    const bool read = program.answers.Warnings().empty();
    FUZZ_CHECK(read == readAtStartUp);
    FUZZ_CHECK(program.fs.File(kOther) == input);
    if (read) {
        FUZZ_CHECK(program.list.FileName() == kOther);
        return;
    }
    FUZZ_CHECK(program.list.FileName() == kDefault);
    FUZZ_CHECK(RowValues(program.rows) == before);
    FUZZ_CHECK(program.rows.Item(0) == keptItem);
    // The save at exit still writes the one row into the file it came from.
    program.list.SaveList(false);
    TProgram again;
    again.fs.SetFile(kDefault, *program.fs.File(kDefault));
    again.list.LoadList(false);
    FUZZ_CHECK(RowValues(again.rows) == before);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const bool read = CheckStartUp(input);
    CheckLoadOverList(input, read);
    return 0;
}
