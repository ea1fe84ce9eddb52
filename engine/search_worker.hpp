#pragma once
// The detection pass: from the admitted candidates to the numbered groups of
// duplicate files. It runs on the worker thread as a sequence of stages, each
// in its own file:
//
//   walk_and_admit    the walk of the search list and the admission of files
//   candidate_probe   readable, size and identity of every candidate; first blocks
//   size_screen       equal sizes, distinct files, size limits and types
//   copy_plan         copy sets by first block, and the batches they are read in
//   confirm_batches   byte comparison and fingerprints, batch by batch (confirm_copies)
//   result_rows       classes into rows and group numbers
//   pass_progress     the two halves of the progress bar
//   share_out         the helper threads a stage runs on
//
// Everything the pass shows goes to the window's thread through its run
// (search_run), as posted tasks that a Stop turns into no-ops.

#include <memory>

#include "engine/pass_io.hpp"
#include "engine/pass_progress.hpp"
#include "engine/result_rows.hpp"
#include "engine/search_run.hpp"
#include "engine/size_screen.hpp"

namespace vantrel {

// The worker's body: walk and admission (when walkOnWorker), then the pass,
// then the completion steps. Returns 1, the exit code of a finished pass, or 0
// when the search was stopped.
int SearchWorker(const std::shared_ptr<SearchRun>& run);

}  // namespace vantrel
