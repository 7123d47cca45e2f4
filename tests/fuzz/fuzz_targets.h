// The fuzz targets: each takes one input of arbitrary bytes and must neither crash, hang nor
// leak, whatever the bytes. The same functions run under libFuzzer (built with ZUKA_FUZZ) and,
// in the ordinary test suite, over the inputs kept in tests/data/fuzz (fuzz_replay_test).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zuka {

// The drawing loader: the bytes as a DXF file opened in the drawing host; a drawing that loads
// has all its entities acquired as buildings and is saved again, and what is saved must load.
int FuzzDxfLoader(const std::uint8_t* data, std::size_t size);
// The settings reader: the bytes as a settings file read into the window, and each of its
// values checked as a --set of its key would be.
int FuzzSettings(const std::uint8_t* data, std::size_t size);
// The selection expressions: the bytes as --buildings, parsed and selected on a small drawing.
int FuzzSelection(const std::uint8_t* data, std::size_t size);
// The number texts: the bytes read as a number and, as a double, written in every form; what
// is written must read back.
int FuzzNumbers(const std::uint8_t* data, std::size_t size);

}  // namespace zuka
