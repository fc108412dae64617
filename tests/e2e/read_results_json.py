#!/usr/bin/env python3
"""Reads a results file with the standard library alone: checks it against the JSON Schema in
the repository and prints the figures of every channel as "name=value" lines.

Usage: read_results_json.py RESULTS.json SCHEMA.json
Exit code 0 when the file is valid JSON and follows the schema, 1 otherwise (the reasons on
standard error)."""
import json
import math
import sys

TYPES = {
    "object": lambda v: isinstance(v, dict),
    "array": lambda v: isinstance(v, list),
    "string": lambda v: isinstance(v, str),
    "boolean": lambda v: isinstance(v, bool),
    "null": lambda v: v is None,
    "integer": lambda v: isinstance(v, int) and not isinstance(v, bool),
    "number": lambda v: isinstance(v, (int, float)) and not isinstance(v, bool) and math.isfinite(v),
}


def resolve(root, ref):
    node = root
    for part in ref.lstrip("#/").split("/"):
        node = node[part]
    return node


def validate(value, schema, root, path, errors):
    """The keywords the schema uses: $ref, type, const, enum, required, properties,
    additionalProperties, items, minItems, maxItems, minimum, maximum."""
    if "$ref" in schema:
        validate(value, resolve(root, schema["$ref"]), root, path, errors)
        return
    types = schema.get("type")
    if types is not None:
        types = types if isinstance(types, list) else [types]
        if not any(TYPES[t](value) for t in types):
            errors.append(f"{path}: {value!r} is not of type {types}")
            return
    if "const" in schema and value != schema["const"]:
        errors.append(f"{path}: {value!r} is not {schema['const']!r}")
    if "enum" in schema and value not in schema["enum"]:
        errors.append(f"{path}: {value!r} is not one of {schema['enum']}")
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        if "minimum" in schema and value < schema["minimum"]:
            errors.append(f"{path}: {value} below {schema['minimum']}")
        if "maximum" in schema and value > schema["maximum"]:
            errors.append(f"{path}: {value} above {schema['maximum']}")
    if isinstance(value, dict):
        for key in schema.get("required", []):
            if key not in value:
                errors.append(f"{path}: '{key}' missing")
        props = schema.get("properties", {})
        extra = schema.get("additionalProperties", True)
        for key, v in value.items():
            if key in props:
                validate(v, props[key], root, f"{path}.{key}", errors)
            elif extra is False:
                errors.append(f"{path}: unexpected '{key}'")
            elif isinstance(extra, dict):
                validate(v, extra, root, f"{path}.{key}", errors)
    if isinstance(value, list):
        if len(value) < schema.get("minItems", 0) or len(value) > schema.get("maxItems", len(value)):
            errors.append(f"{path}: {len(value)} items")
        if "items" in schema:
            for i, v in enumerate(value):
                validate(v, schema["items"], root, f"{path}[{i}]", errors)


def main(argv):
    if len(argv) != 3:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        with open(argv[1], encoding="utf-8") as f:
            # NaN and Infinity are not JSON: refuse them instead of reading them as numbers.
            results = json.load(f, parse_constant=lambda c: (_ for _ in ()).throw(ValueError(c)))
        with open(argv[2], encoding="utf-8") as f:
            schema = json.load(f)
    except (OSError, ValueError) as e:
        print(f"cannot read: {e}", file=sys.stderr)
        return 1
    errors = []
    validate(results, schema, schema, "$", errors)
    for e in errors:
        print(e, file=sys.stderr)
    if errors:
        return 1
    print(f"mode={results['mode']}")
    print(f"sample_rate_Hz={results['method']['sample_rate_Hz']}")
    for ch in results["figures"].get("channels", []):
        for key, v in ch.items():
            if key != "channel":
                print(f"{ch['channel']}.{key}={'null' if v is None else repr(float(v))}")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
