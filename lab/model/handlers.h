// The device behaviours, one family per file; block_table.cpp binds them to blocks.
#pragma once

#include "lab/model/block_table.h"

// inquiry.cpp
void handle_inquiry(bridge_record& record, const block_request& request, block_answer& answer);

// memory.cpp: bridge memory, registers, the configuration area read window
void handle_mem_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_reg_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_reg_write(bridge_record& record, const block_request& request, block_answer& answer);

// transfer.cpp: transfer flag and transfer-length limit
void handle_xfer_flag_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_xfer_flag_write(bridge_record& record, const block_request& request, block_answer& answer);
void handle_max_xfer(bridge_record& record, const block_request& request, block_answer& answer);

// disk.cpp: disk status, disk information block, ATA IDENTIFY DEVICE
void handle_disk_status(bridge_record& record, const block_request& request, block_answer& answer);
void handle_disk_info_block(bridge_record& record, const block_request& request, block_answer& answer);
void handle_ata_identify(bridge_record& record, const block_request& request, block_answer& answer);
