#pragma once

#include "core/ListFile.h"
#include "core/RowList.h"
#include "core/XmlDocument.h"
#include "tests/fakes/FakeUserAnswers.h"

#include <memory>
#include <utility>

namespace velmora::testing {

/// What the list-file procedures work on in one run of the program: the rows, the list document, a file system of
/// the given kind (made from the constructor's arguments), the user's answers, and the procedures themselves.
template <typename FileSystem>
struct ListFileRig {
    template <typename... FileSystemArgs>
    explicit ListFileRig(FileSystemArgs&&... args) : fs(std::forward<FileSystemArgs>(args)...) {}

    FileSystem fs;
    FakeUserAnswers answers;
    TRowList rows;
    std::unique_ptr<IXmlDocument> document = CreateXmlDocument();
    TListFile list{rows, *document, fs, answers};
};

} // namespace velmora::testing
