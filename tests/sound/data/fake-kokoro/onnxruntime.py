"""A stand-in for onnxruntime: the installer only checks that it imports."""
