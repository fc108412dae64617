// Windows and the fast Fourier transform of spectra.
