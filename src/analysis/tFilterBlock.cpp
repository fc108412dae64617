// Filter blocks: chains of IIR filters with a delay line, level and polarity.
