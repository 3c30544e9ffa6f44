// --merge: the lists of the shards of a run (--shard K/N), merged into the list the run on
// one machine would have written.
#include "commands/commands.h"
#include "commands/shard_output.h"

int RunMerge(const Options& options) {
    return MergeShardLists(options.files, options);
}
