// The three line formats: each is the shared table reading with its own way
// of cutting a line.
#include "graph/formats/Readers.h"
#include "graph/formats/TableReader.h"

EdgeList Formats_ReadBlank(LineSource& lines, const ReadOptions& options, bool guessed) {
  return Table_Read(lines, TableFormat{FieldRule::Blanks, guessed}, options);
}

EdgeList Formats_ReadCsv(LineSource& lines, const ReadOptions& options) {
  return Table_Read(lines, TableFormat{FieldRule::Commas, false}, options);
}

EdgeList Formats_ReadTsv(LineSource& lines, const ReadOptions& options) {
  return Table_Read(lines, TableFormat{FieldRule::Tabs, false}, options);
}
