// The reading that the line formats (blank, CSV, TSV) share: comment and
// blank lines skipped, an optional header, the columns of the two ends and
// the weight, weighted or unweighted files, and the messages with their
// hints. A format differs only in how it cuts a line into fields.
//
// The rules, in the order they apply:
// - A line whose first byte other than white space is '#' or '%' is a
//   comment, and a line of white space only (or, in CSV and TSV, of empty
//   fields only) is blank: both are skipped, and count as lines.
// - The first other line is the header when options.header is Yes; when it
//   is Auto, when --columns names a column, or when the line's weight field
//   (the weight column, else the third of three fields) is a word: not a
//   number and beginning with a letter or '_' (so "1.5x" is an error, not a
//   header), or, with no weight field, when both ends are column words such
//   as source, target, from, to, src, dst, node1, node2, u, v (any case).
// - Without options.columns every data line has two fields (no weight: each
//   edge weighs 1) or three, the same for every line; more are an error that
//   points to --columns. With it, a line has at least the columns chosen, and
//   further fields are ignored.
// - Names are any non-empty text; a weight is a number as a whole
//   (Number_Read). A file that fell to the blank format by default, whose
//   fields but the last end in commas, is CSV written with blanks: an error
//   that says so. Nodes are numbered in order of first appearance, a line's
//   first end before its second; edges keep the file's order.
#pragma once

#include "graph/EdgeList.h"
#include "graph/formats/Fields.h"
#include "graph/formats/LineSource.h"
#include "graph/formats/ReadOptions.h"

struct TableFormat {
  FieldRule rule;
  bool guessed;  // the format fell to this one by default rather than by choice
};

// Reads every line of lines as format has it. Throws RunError (status 1)
// "NAME:LINE: what expected[; hint]" at the first line that breaks a rule.
EdgeList Table_Read(LineSource& lines, const TableFormat& format, const ReadOptions& options);

// The option that chooses rule's format, as hints name it: "csv", "tsv", "blank".
const char* Table_FormatOption(FieldRule rule);
