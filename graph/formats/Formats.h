// The analysts' front door to a graph: an edge file in any of the formats
// people keep them in, read into the EdgeList the engines build from.
//
// Formats: blank-separated lines (the programs' own), CSV, TSV and Matrix
// Market coordinate files (TableReader.h and MatrixMarket.cpp give the rules
// of each). The format is options.format when set; else, for a name ending
// in .mtx or .mm the Matrix Market one, .csv CSV, .tsv or .tab TSV (in any
// case, also before a final .gz); else Matrix Market when the first line is
// its %%MatrixMarket banner; else blank-separated. A banner outranks the
// extension: it is the content's own word.
//
// Input: a file or "-" for standard input; gzip data (by its magic bytes,
// whatever the name) is inflated when the build has zlib, and is otherwise
// an error saying this build reads no gzip. A UTF-8 byte-order mark and CRLF
// line ends are read as if absent.
//
// The graph: nodes numbered in order of first appearance, a line's first end
// before its second; edges in file order; so a graph written in any format
// reads back as the same EdgeList as EdgeList_Read gives for the programs'
// format. inputSize and inputHash are those of the content (after inflating).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "graph/EdgeList.h"
#include "graph/formats/ReadOptions.h"

// Reads the graph options describe. Throws RunError with the message a
// front end prints after "program: ": status 2 for options that cannot go
// together (--columns or --header with Matrix Market, a named column with
// --no-header), status 1 for an input that cannot be opened or read or that
// breaks its format's rules ("FILE:LINE: what was expected[; hint]", the
// line counted in the user's file, comments and header included). Throws
// std::bad_alloc when memory runs out.
EdgeList Formats_Read(const ReadOptions& options);

// The format of a --format word: blank, csv, tsv or mtx; none for others.
std::optional<InputFormat> Formats_Named(std::string_view word);

// The --format words, for help texts: "blank, csv, tsv, mtx".
const char* Formats_Words();

// The columns of a --columns text, SRC,DST[,WEIGHT], each a 1-based number
// or a header name. Throws RunError (status 2) naming what is wrong.
ColumnChoice Formats_ParseColumns(std::string_view text);

// Whether this build reads gzip input.
bool Formats_ReadsGzip();
