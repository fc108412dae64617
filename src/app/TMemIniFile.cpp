// An INI file held in memory.
