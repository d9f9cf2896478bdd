#!/usr/bin/python3
"""Checks what the Measure chain left behind, through the command-line program: the saved
document holds 5 measurements, 3 results and a valid equaliser, and the simulated subwoofer's
flash holds exactly that equaliser's coefficient block.

Usage: check_saved.py TESSALINE_CLI DOCUMENT SIM_STATE"""

import json
import subprocess
import sys


def cli(*args):
    return subprocess.run([sys.argv[1], *args], check=True, capture_output=True,
                          text=True).stdout


def main():
    document, state_file = sys.argv[2], sys.argv[3]
    doc = json.loads(cli("doc", "show", document))
    m, r = len(doc["measurements"]), len(doc["results"])
    eq = doc["eq"]
    print("e2e: document holds %d measurements, %d results, equaliser valid %s with %d bands"
          % (m, r, eq["valid"], len(eq["bands"])))
    if (m, r) != (5, 3) or not eq["valid"] or not eq["bands"]:
        return 1
    model = next(x for x in json.loads(cli("models")) if x["id"] == doc["model_id"])
    length, memory, region, offset = model["eq_block"]
    block = cli("block", document).strip().lower()
    with open(state_file, encoding="utf-8") as f:
        state = json.load(f)
    flash = [x["bytes"].lower() for x in state["flash"]
             if (x["memory"], x["region"]) == (memory, region)]
    stored = flash[0][2 * offset:2 * (offset + length)] if flash else ""
    same = state["model"] == doc["model_id"] and stored == block and len(block) == 2 * length
    print("e2e: the flash holds the document's equaliser block: %s" % same)
    return 0 if same else 1


if __name__ == "__main__":
    sys.exit(main())
