#pragma once
// What a workbook file held beyond the platform's model, kept by the file layer on the workbook and
// on each of its sheets so that a save writes it back unchanged. The sheet layer only carries it.

namespace host::sheet {

class FileExtras {
public:
    virtual ~FileExtras() = default;
};

}  // namespace host::sheet
