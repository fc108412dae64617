// Correction curves: interpolated (x, y) tables read from text files.
