// One reader per format, each given the lines of an input and the options,
// each building the EdgeList through EdgeListBuilder. Formats_Read (Formats.h)
// opens the input, picks the format and calls one of them.
#pragma once

#include "graph/EdgeList.h"
#include "graph/formats/LineSource.h"
#include "graph/formats/ReadOptions.h"

// Blank-separated lines, the programs' own format. guessed: the format was
// not chosen but fell to this one, so a line that looks comma-separated is
// an error with that hint rather than names ending in commas.
EdgeList Formats_ReadBlank(LineSource& lines, const ReadOptions& options, bool guessed);

// Comma-separated values (RFC 4180 quoting).
EdgeList Formats_ReadCsv(LineSource& lines, const ReadOptions& options);

// Tab-separated values (the same quoting).
EdgeList Formats_ReadTsv(LineSource& lines, const ReadOptions& options);

// Matrix Market coordinate files: see MatrixMarket.cpp.
EdgeList Formats_ReadMatrixMarket(LineSource& lines, const ReadOptions& options);
