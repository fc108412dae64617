// IIR filter design: analog prototypes, frequency transformations, bilinear transform, filtering.
