// Sample memory: the one buffer of sampled data and its whole-buffer operations.
